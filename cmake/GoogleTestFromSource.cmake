# GoogleTest for a cross-build, compiled with the cross-compiler from the
# sources that Debian's googletest package installs; provides GTest::gtest,
# GTest::gtest_main and GTest::gmock. Included by each test folder that needs it.
include_guard(GLOBAL)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
