# The files an installation with every language writes, for the end-to-end tests to compare
# with: the demo product's files, times kept, and the uninstall list the setup file carries
# (taken out of it by the native mksetup, which extracts as the installer does).
#   cmake -DMKSETUP=... -DSETUP=... -DPRODUCT=... -DOUT=... -P installed_product.cmake
if(NOT EXISTS "${SETUP}" OR NOT EXISTS "${MKSETUP}")
  message(WARNING "${OUT} not made: ${SETUP} or ${MKSETUP} is missing")
  return()
endif()
file(REMOVE_RECURSE "${OUT}" "${OUT}.extract")
file(COPY "${PRODUCT}/" DESTINATION "${OUT}")
execute_process(
  COMMAND "${MKSETUP}" extract "${SETUP}" "${OUT}.extract"
  RESULT_VARIABLE result
  OUTPUT_QUIET
  ERROR_VARIABLE errors)
if(NOT result EQUAL 0 OR NOT EXISTS "${OUT}.extract/UNINST.LST")
  message(FATAL_ERROR "cannot take UNINST.LST out of ${SETUP} (${result}): ${errors}")
endif()
file(COPY "${OUT}.extract/UNINST.LST" DESTINATION "${OUT}")
file(REMOVE_RECURSE "${OUT}.extract")
