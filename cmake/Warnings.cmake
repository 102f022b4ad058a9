# Project-wide warning set, applied per target so that imported targets keep theirs.
add_library(vxorv_warnings INTERFACE)
target_compile_options(vxorv_warnings INTERFACE
    $<$<COMPILE_LANG_AND_ID:CXX,GNU,Clang>:-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion>
    $<$<COMPILE_LANG_AND_ID:C,GNU,Clang>:-Wall -Wextra -Wpedantic>)
