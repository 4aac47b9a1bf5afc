# Prints the stub's size and fails the build when it passes its budget.
file(SIZE "${STUB}" size)
get_filename_component(name "${STUB}" NAME)
math(EXPR kib "${size} / 1024")
message(STATUS "${name}: ${size} bytes (${kib} KB; budget ${BUDGET} bytes)")
if(size GREATER BUDGET)
  message(FATAL_ERROR "${name} is ${size} bytes, over its budget of ${BUDGET} bytes")
endif()
