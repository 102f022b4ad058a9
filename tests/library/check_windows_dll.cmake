# Cross-builds winvxbt.dll for 32-bit Windows and checks its export table: the
# eight functions under their plain names, ordinals 1 to 8 in alphabetical
# order, and no run-time DLL beyond what every Windows has.
function(run)
    execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${SOURCE_DIR}
                    OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "${ARGN} failed:\n${out}")
    endif()
    set(out "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --preset windows)
run(${CMAKE_COMMAND} --build --preset windows)
run(i686-w64-mingw32-objdump -p ${SOURCE_DIR}/build/windows/library/winvxbt.dll)

string(REGEX MATCHALL "\\+base\\[ *[0-9]+\\]" ordinals "${out}")
string(REGEX MATCHALL "\t\\[ *[0-9]+\\] VXBT_[a-z_]+" names "${out}")
string(REGEX REPLACE "\t\\[ *[0-9]+\\] " "" names "${names}")
string(REGEX REPLACE "\\+base\\[ *([0-9]+)\\]" "\\1" ordinals "${ordinals}")
set(expected_names VXBT_close VXBT_get_msg VXBT_get_ver VXBT_init VXBT_rx_byte VXBT_rx_msg_cnt
                   VXBT_send_ack VXBT_send_nack)
if(NOT names STREQUAL expected_names OR NOT ordinals STREQUAL "1;2;3;4;5;6;7;8")
    message(FATAL_ERROR "exports ${names} with ordinals ${ordinals}")
endif()
if(NOT out MATCHES "Ordinal Base[ \t]+1")
    message(FATAL_ERROR "ordinal base is not 1")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${out}")
if(NOT imports STREQUAL "DLL Name: KERNEL32.dll;DLL Name: msvcrt.dll")
    message(FATAL_ERROR "unexpected imports: ${imports}")
endif()
message(STATUS "winvxbt.dll exports ${names} at ordinals ${ordinals}")
