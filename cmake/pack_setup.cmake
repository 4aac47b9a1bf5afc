# Packs a product onto the stub: OUT = STUB + the product's archive, made by the native
# mksetup (with the extra build options in EXTRA, a list). Repacks only when the stub, the
# product or mksetup is newer than OUT. A failure is a warning, or with REQUIRED an error.
if(REQUIRED)
  set(_failure FATAL_ERROR)
else()
  set(_failure WARNING)
endif()
get_filename_component(name "${OUT}" NAME)
if(NOT EXISTS "${MKSETUP}")
  file(REMOVE "${OUT}")
  message(${_failure} "${name} not made: the native mksetup is not at ${MKSETUP} "
                      "(build the native preset first, or set QARN_NATIVE_MKSETUP)")
  return()
endif()
if(EXISTS "${OUT}" AND NOT "${STUB}" IS_NEWER_THAN "${OUT}"
   AND NOT "${PRODUCT_STAMP}" IS_NEWER_THAN "${OUT}" AND NOT "${MKSETUP}" IS_NEWER_THAN "${OUT}")
  return()
endif()
execute_process(
  COMMAND "${MKSETUP}" build "${PRODUCT}" -o "${OUT}.part" --stub "${STUB}" ${EXTRA}
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  file(REMOVE "${OUT}" "${OUT}.part")
  message(${_failure} "${name} not made: ${MKSETUP} build failed (${result}):\n${output}")
  return()
endif()
file(RENAME "${OUT}.part" "${OUT}")
file(SIZE "${OUT}" size)
message(STATUS "${name}: ${size} bytes (the stub and the product's archive)")
