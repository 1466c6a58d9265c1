# Runs the dvbk program as a shell script would and checks what such a script relies on: the exit
# code, and standard output byte for byte. CTest's output matching cannot do that, nor can an
# OUTPUT_VARIABLE, nor a plain file(READ): they all drop the CR of a CR LF.
#   cmake -DPROGRAM=dvbk -DEMULATOR=env|wine -DARGS=check|file -DCODE=1 -DEXPECTED=file -P run_dvbk.cmake
# Lists come separated by "|", since ";" does not survive the test command line.
string(REPLACE "|" ";" emulator "${EMULATOR}")
string(REPLACE "|" ";" args "${ARGS}")
execute_process(COMMAND ${emulator} ${PROGRAM} ${args} RESULT_VARIABLE code OUTPUT_FILE "${EXPECTED}.out"
    ERROR_VARIABLE err)
file(READ "${EXPECTED}.out" out HEX)
file(READ "${EXPECTED}" expected HEX)
if(NOT code STREQUAL CODE)
    message(FATAL_ERROR "exit code ${code}, expected ${CODE}; standard error:\n${err}")
endif()
if(NOT out STREQUAL expected)
    message(FATAL_ERROR "standard output in hex:\n${out}\nexpected:\n${expected}")
endif()
message(STATUS "exit code ${code}, standard output as expected")
