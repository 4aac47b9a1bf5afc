# Packs the large test product onto the stub: OUT = STUB + the product's archive, made by the
# native mksetup. Repacks only when the stub, the product or mksetup is newer than OUT.
if(NOT EXISTS "${MKSETUP}")
  file(REMOVE "${OUT}")
  message(WARNING "large-setup.exe not made: the native mksetup is not at ${MKSETUP} "
                  "(build the native preset first)")
  return()
endif()
if(EXISTS "${OUT}" AND NOT "${STUB}" IS_NEWER_THAN "${OUT}"
   AND NOT "${PRODUCT_STAMP}" IS_NEWER_THAN "${OUT}" AND NOT "${MKSETUP}" IS_NEWER_THAN "${OUT}")
  return()
endif()
execute_process(
  COMMAND "${MKSETUP}" build "${PRODUCT}" -o "${OUT}" --stub "${STUB}"
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  file(REMOVE "${OUT}")
  message(FATAL_ERROR "large-setup.exe not made: ${MKSETUP} build failed (${result}):\n${output}")
endif()
string(STRIP "${output}" output)
message(STATUS "${output}")
