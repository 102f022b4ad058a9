# Cross-builds winvxbt.dll for 32-bit Windows and checks it as shipped: the
# eight functions under their plain names, ordinals 1 to 8 in alphabetical
# order, no run-time DLL beyond what every Windows has, no debug information;
# and a C client compiled with the header links against its import library.
function(run)
    execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${SOURCE_DIR}
                    OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "${ARGN} failed:\n${out}")
    endif()
    set(out "${out}" PARENT_SCOPE)
endfunction()

set(library_dir ${SOURCE_DIR}/build/windows/library)
run(${CMAKE_COMMAND} --preset windows)
run(${CMAKE_COMMAND} --build --preset windows)
run(i686-w64-mingw32-objdump -p -h ${library_dir}/winvxbt.dll)

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
if(out MATCHES "\\.debug_")
    message(FATAL_ERROR "winvxbt.dll carries debug information")
endif()
message(STATUS "winvxbt.dll exports ${names} at ordinals ${ordinals}")

# The client imports each function by its plain name, with its ordinal as hint.
set(client ${WORK_DIR}/header_is_c_i686.exe)
run(i686-w64-mingw32-gcc -std=c11 -Wall -Wextra -Wpedantic -Werror
    -I${SOURCE_DIR}/library/include ${SOURCE_DIR}/tests/library/header_is_c.c
    -L${library_dir} -lwinvxbt -o ${client})
run(i686-w64-mingw32-objdump -p ${client})
string(REGEX MATCH "DLL Name: winvxbt.dll\n[^\n]*\n(\t[^\n]+\n)+" client_imports "${out}")
string(REGEX MATCHALL "[0-9]+  VXBT_[a-z_]+" client_imports "${client_imports}")
set(expected_imports "3  VXBT_get_ver;4  VXBT_init;5  VXBT_rx_byte;2  VXBT_get_msg;1  VXBT_close")
list(SORT client_imports)
list(SORT expected_imports)
if(NOT client_imports STREQUAL expected_imports)
    message(FATAL_ERROR "the C client imports ${client_imports}, expected ${expected_imports}")
endif()
message(STATUS "a 32-bit C client links against libwinvxbt.dll.a: ${client_imports}")
