# Warnings are errors for the project's own code; third-party code gets none of this.
add_library(qarn_warnings INTERFACE)
target_compile_options(qarn_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wcast-qual -Wformat=2 -Wundef
  -Wnon-virtual-dtor -Wold-style-cast -Wimplicit-fallthrough -Werror)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  # GCC 12 reports impossible overlaps inside std::string at -O3 (its bug 105329).
  target_compile_options(qarn_warnings INTERFACE -Wno-restrict)
endif()
