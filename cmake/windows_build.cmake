# Settings of the Windows cross build (cmake/mingw-w64-x86_64.cmake as the toolchain).
# The Qt window does not exist on Windows; the Win32 window takes its place.
set(TICKTAVO_BUILD_GUI OFF CACHE BOOL "Build the Qt window and its tests" FORCE)

# The program's resources (icon, manifest, version record) are compiled with windres.
enable_language(RC)

# Windows 10 API level: high-resolution waitable timers.
add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 NOMINMAX WIN32_LEAN_AND_MEAN)

# GoogleTest cross-built from Debian's source package.
set(TICKTAVO_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${TICKTAVO_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest's own sources are not held to the project's warnings.
foreach(target gtest gtest_main)
  target_compile_options(${target} PRIVATE -w)
endforeach()
if(NOT TARGET GTest::gtest)  # GoogleTest before 1.11 does not name them itself
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()

# Each test program is one CTest test under Wine: listing every case would start Wine once
# per case. The layers' CMakeLists call gtest_discover_tests as on Linux; here it registers
# the whole program with the labels it was given.
function(gtest_discover_tests target)
  cmake_parse_arguments(arg "" "" "PROPERTIES" ${ARGN})
  add_test(NAME ${target} COMMAND ${target} --gtest_brief=1)
  if(arg_PROPERTIES)
    set_tests_properties(${target} PROPERTIES ${arg_PROPERTIES})
  endif()
endfunction()
