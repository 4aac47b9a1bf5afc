# Packs the demo product onto the stub: OUT = STUB + the product's archive, made by the
# native mksetup. Repacks only when the stub, the product or mksetup is newer than OUT.
if(NOT EXISTS "${MKSETUP}")
  file(REMOVE "${OUT}")
  message(WARNING "setup.exe not made: the native mksetup is not at ${MKSETUP} "
                  "(build the native preset first, or set QARN_NATIVE_MKSETUP)")
  return()
endif()
if(EXISTS "${OUT}" AND NOT "${STUB}" IS_NEWER_THAN "${OUT}"
   AND NOT "${PRODUCT_STAMP}" IS_NEWER_THAN "${OUT}" AND NOT "${MKSETUP}" IS_NEWER_THAN "${OUT}")
  return()
endif()
execute_process(
  COMMAND "${MKSETUP}" build "${PRODUCT}" -o "${OUT}.part" --stub "${STUB}" --uninstall-list UNINST.LST
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  file(REMOVE "${OUT}" "${OUT}.part")
  message(WARNING "setup.exe not made: ${MKSETUP} build failed (${result}):\n${output}")
  return()
endif()
file(RENAME "${OUT}.part" "${OUT}")
file(SIZE "${OUT}" size)
get_filename_component(name "${OUT}" NAME)
message(STATUS "${name}: ${size} bytes (the stub and the demo product's archive)")
