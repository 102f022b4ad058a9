# On Windows (cross-built, run under Wine): the Windows backends' tests and the
# logic's tests that need neither a display nor POSIX.

vxorv_app_test(test_send_input_backend
    SOURCES typing/windows/send_input_backend_test.cpp
    LIBRARIES vxorv_send_input_backend vxorv_test_characters GTest::gtest_main)
vxorv_app_test(test_registry_settings_store
    SOURCES platform/registry_settings_store_test.cpp
    LIBRARIES vxorv_platform GTest::gtest_main)

vxorv_app_test(test_code_page
    SOURCES platform/code_page_test.cpp
    LIBRARIES vxorv_platform GTest::gtest_main)
vxorv_app_test(test_port_settings
    SOURCES platform/port_settings_test.cpp
    LIBRARIES vxorv_platform GTest::gtest_main)
vxorv_app_test(test_keystroke_parser
    SOURCES typing/keystroke_parser_test.cpp
    LIBRARIES vxorv_test_fakes GTest::gtest_main)
vxorv_app_test(test_send_keys
    SOURCES typing/send_keys_test.cpp
    LIBRARIES vxorv_test_fakes Threads::Threads GTest::gtest_main)
vxorv_app_test(test_settings
    SOURCES settings/settings_test.cpp
    LIBRARIES vxorv_settings vxorv_test_fakes GTest::gtest_main)
vxorv_app_test(test_keystroke_conversion
    SOURCES collection/keystroke_conversion_test.cpp
    LIBRARIES vxorv_collection GTest::gtest_main)
vxorv_app_test(test_data_collection
    SOURCES collection/data_collection_test.cpp
    LIBRARIES vxorv_collection vxorv_test_fakes GTest::gtest_main)
vxorv_app_test(test_receive_trace
    SOURCES collection/receive_trace_test.cpp
    LIBRARIES vxorv_collection GTest::gtest_main)
vxorv_app_test(test_shell
    SOURCES shell/shell_test.cpp
    LIBRARIES vxorv_shell vxorv_properties_dialog vxorv_test_fakes GTest::gtest_main)
vxorv_app_test(test_vxbt_framing
    SOURCES vxbt/framing_test.cpp
    LIBRARIES vxbt_framing GTest::gtest_main)
vxorv_app_test(test_single_instance_windows
    SOURCES platform/single_instance_windows_test.cpp
    LIBRARIES vxorv_single_instance GTest::gtest)
