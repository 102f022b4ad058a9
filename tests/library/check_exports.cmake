# Fails unless the shared library defines exactly the eight VXBT_ exports.
execute_process(COMMAND nm -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX REPLACE "[^\n]* ([^ \n]+)\n" "\\1;" names "${symbols}")
list(SORT names)
set(expected VXBT_close VXBT_get_msg VXBT_get_ver VXBT_init VXBT_rx_byte VXBT_rx_msg_cnt
             VXBT_send_ack VXBT_send_nack)
if(NOT names STREQUAL expected)
    message(FATAL_ERROR "exports are\n  ${names}\nexpected\n  ${expected}")
endif()
message(STATUS "exports: ${names}")
