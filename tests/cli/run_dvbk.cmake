# Runs the dvbk program as a shell script would and checks what such a script relies on: the exit
# code, and standard output byte for byte. CTest's output matching cannot do that, nor can an
# OUTPUT_VARIABLE, nor a plain file(READ): they all drop the CR of a CR LF.
#   cmake -DPROGRAM=dvbk -DEMULATOR=env|wine -DARGS=check|file -DCODE=1 -DEXPECTED=file -P run_dvbk.cmake
# Lists come separated by "|", since ";" does not survive the test command line. A "+" among the
# arguments pipes one run's standard output into the next run's standard input, as `a | b` does;
# every run but the last must succeed, and CODE is the last one's.
string(REPLACE "|" ";" emulator "${EMULATOR}")
string(REPLACE "|" ";" args "${ARGS}")
set(commands COMMAND ${emulator} ${PROGRAM})
foreach(arg IN LISTS args)
    if(arg STREQUAL "+")
        list(APPEND commands COMMAND ${emulator} ${PROGRAM})
    else()
        list(APPEND commands "${arg}")
    endif()
endforeach()
execute_process(${commands} RESULTS_VARIABLE codes OUTPUT_FILE "${EXPECTED}.out" ERROR_VARIABLE err)
list(POP_BACK codes code)
foreach(earlier IN LISTS codes)
    if(NOT earlier STREQUAL "0")
        message(FATAL_ERROR "a run before the last one exited with ${earlier}; standard error:\n${err}")
    endif()
endforeach()
file(READ "${EXPECTED}.out" out HEX)
file(READ "${EXPECTED}" expected HEX)
if(NOT code STREQUAL CODE)
    message(FATAL_ERROR "exit code ${code}, expected ${CODE}; standard error:\n${err}")
endif()
if(NOT out STREQUAL expected)
    message(FATAL_ERROR "standard output in hex:\n${out}\nexpected:\n${expected}")
endif()
message(STATUS "exit code ${code}, standard output as expected")
