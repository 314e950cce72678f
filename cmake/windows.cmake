# The Windows build (cmake/mingw-w64.cmake): the libraries of standard C++
# that CMakeLists.txt makes above its `if(WIN32)` line, the Windows
# implementations of the platform interfaces, and the tests of that part,
# run under Wine. Nothing here needs Qt, SQLite or CUPS.

# The portable part of the platform layer; it goes when platform/ as a whole
# is built above the line.
vantorel_layer(vantorel_platform platform BELOW model SOURCES platform/files.cpp LIBS vantorel_model)

# Win32 implementations of the platform interfaces. The portable code calls
# into them, so each of the two static libraries lists the other.
vantorel_layer(vantorel_windows windows BELOW platform model SOURCES windows/files.cpp
  LIBS vantorel_platform shell32 ole32)
target_link_libraries(vantorel_platform PUBLIC vantorel_windows)

# The tests: each tests/NAME.cpp becomes NAME.exe, linked with every library
# above, and runs as one test under Wine (the emulator of the toolchain file),
# so a test program starts Wine once, not once per case.
set(VANTOREL_WINDOWS_TESTS test_model test_fit test_entry test_settings test_files_windows)

if(VANTOREL_TESTS)
  enable_testing()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  get_property(layers GLOBAL PROPERTY VANTOREL_LAYERS)
  foreach(name ${VANTOREL_WINDOWS_TESTS})
    add_executable(${name} tests/${name}.cpp)
    target_link_libraries(${name} PRIVATE ${layers} GTest::gtest_main)
    add_test(NAME Windows.${name} COMMAND ${name})
    set_tests_properties(Windows.${name} PROPERTIES TIMEOUT 300)
  endforeach()
endif()
