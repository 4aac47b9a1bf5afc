if(QARN_SANITIZE)
  set(_san -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_compile_options(${_san})
  add_link_options(${_san})
endif()

if(QARN_BUILD_FUZZ)
  # The fuzz build instruments all of its own code, libraries included: libFuzzer steers by
  # the coverage of the decoder and archive reader, not only of the small target files, and
  # ASan/UBSan must see every access. fuzz/CMakeLists.txt adds libFuzzer's main to the targets.
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "QARN_BUILD_FUZZ needs clang (libFuzzer); use the fuzz preset")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
