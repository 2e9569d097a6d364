# GoogleTest for a cross-compiled tree: there is no prebuilt library for the
# target, so it is built here from the sources of Debian's googletest
# package. Afterwards find_package(GTest) finds these targets, and the test
# lists are read when the tests run (under the emulator) rather than at
# build time, so a build needs no Wine.
set(VANDREL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
if(NOT EXISTS ${VANDREL_GOOGLETEST_SOURCE}/googletest/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${VANDREL_GOOGLETEST_SOURCE}; "
                      "install Debian's googletest package (tools/install_windows_deps.sh)")
endif()

if(NOT TARGET gtest)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # Windows' own locks and thread-local storage rather than winpthreads.
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  add_subdirectory(${VANDREL_GOOGLETEST_SOURCE}/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# What FindGTest looks for; the targets GTest::gtest and GTest::gtest_main
# already exist, so it only checks that these are set.
set(GTEST_INCLUDE_DIR ${VANDREL_GOOGLETEST_SOURCE}/googletest/include CACHE PATH "" FORCE)
set(GTEST_LIBRARY gtest CACHE STRING "" FORCE)
set(GTEST_MAIN_LIBRARY gtest_main CACHE STRING "" FORCE)
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
