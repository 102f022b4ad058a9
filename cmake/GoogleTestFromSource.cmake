# GoogleTest for a cross-build, compiled with the cross-compiler from the
# sources that Debian's googletest package installs; provides GTest::gtest_main.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
