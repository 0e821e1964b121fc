# Compiles one case of a source and checks the outcome: with EXPECT
# "compiles" it must compile; otherwise it must fail with a diagnostic that
# matches EXPECT (so that it fails for the fault it shows, not another).
execute_process(
  COMMAND ${COMPILER} -std=c++20 -fsyntax-only -I${INCLUDE} -DQEL_CASE=${CASE} ${SOURCE}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(EXPECT STREQUAL "compiles")
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "case ${CASE} should compile:\n${output}")
  endif()
elseif(result EQUAL 0)
  message(FATAL_ERROR "case ${CASE} compiled, but must not")
elseif(NOT output MATCHES "${EXPECT}")
  message(FATAL_ERROR "case ${CASE} failed, but not with \"${EXPECT}\":\n${output}")
else()
  message(STATUS "case ${CASE} refused as expected")
endif()
