# Runs a program and checks its exit status and what it printed (standard
# output and error together), for programs whose failures are part of what
# is tested.
#   cmake "-DCOMMAND=program;arg;..." -DSTATUS=<n> -DOUTPUT=<regex> [-DEMULATOR=<runner;args>] -P expect.cmake
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${EMULATOR} ${COMMAND} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(REPLACE "\r" "" printed "${out}${err}")
string(STRIP "${printed}" printed)
set(problems "")
if(NOT status STREQUAL STATUS)
  string(APPEND problems "exit status ${status}, expected ${STATUS}\n")
endif()
if(NOT printed MATCHES "${OUTPUT}")
  string(APPEND problems "output does not match ${OUTPUT}\n")
endif()
if(problems)
  message(FATAL_ERROR "${problems}--- output:\n${printed}")
endif()
