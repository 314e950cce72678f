# The Windows build (cmake/mingw-w64.cmake): the libraries of standard C++
# that CMakeLists.txt makes above its `if(WIN32)` line, the Windows
# implementations of the platform interfaces, the programs with their
# resources, their installer and ZIP file (cpack), and the tests of that
# part, run under Wine. Nothing here needs Qt, SQLite or CUPS.

# The Win32 implementations of the platform interfaces (windows/), the Win32
# views (win32view/), and the two programs.
add_subdirectory(windows)
add_subdirectory(win32view)
add_executable(vantorel-fit cli/main.cpp)
target_link_libraries(vantorel-fit PRIVATE vantorel_cli vantorel_windows)
add_executable(Vantorel WIN32 win32view/main.cpp)
target_link_libraries(Vantorel PRIVATE vantorel_win32view)
# wWinMain: the command line as UTF-16.
target_link_options(Vantorel PRIVATE -municode)

# The program's icon as a Windows icon file, drawn from platform/icon.cpp by
# a small program that the build machine's own compiler builds and that runs
# there (the cross tree's programs would need Wine).
find_program(VANTOREL_HOST_CXX NAMES c++ g++ REQUIRED DOC "The build machine's C++ compiler, for make_ico")
set(make_ico_sources data/make_ico.cpp platform/icon.cpp model/numtext.cpp model/decimal.cpp model/utf8.cpp model/casefold.cpp)
list(TRANSFORM make_ico_sources PREPEND ${CMAKE_SOURCE_DIR}/)
file(GLOB make_ico_headers ${CMAKE_SOURCE_DIR}/platform/*.h ${CMAKE_SOURCE_DIR}/model/*.h)
set(make_ico ${CMAKE_BINARY_DIR}/host/make_ico)
set(VANTOREL_ICO ${CMAKE_BINARY_DIR}/vantorel.ico)
add_custom_command(OUTPUT ${make_ico}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
  COMMAND ${VANTOREL_HOST_CXX} -std=c++20 -O2 -ffp-contract=off -I${CMAKE_SOURCE_DIR} -o ${make_ico} ${make_ico_sources}
  DEPENDS ${make_ico_sources} ${make_ico_headers}
  COMMENT "Building make_ico for the build machine")
add_custom_command(OUTPUT ${VANTOREL_ICO} COMMAND ${make_ico} ${VANTOREL_ICO} DEPENDS ${make_ico}
  COMMENT "Drawing the Windows icon")

# The resources of both programs: the icon (resource 1, which Explorer shows
# and the main window's class loads), the manifest and the version
# information, from the version of project() and the copyright line of LICENSE.
enable_language(RC)
file(STRINGS ${CMAKE_SOURCE_DIR}/LICENSE VANTOREL_COPYRIGHT REGEX "^Copyright " LIMIT_COUNT 1)
set(VANTOREL_MANIFEST ${CMAKE_SOURCE_DIR}/data/vantorel.manifest)
foreach(program "Vantorel|Vantorel" "vantorel-fit|Vantorel from the command line")
  string(REPLACE "|" ";" program "${program}")
  list(GET program 0 VANTOREL_RC_NAME)
  list(GET program 1 VANTOREL_RC_DESCRIPTION)
  set(VANTOREL_RC_FILE ${VANTOREL_RC_NAME}.exe)
  set(rc ${CMAKE_BINARY_DIR}/resources/${VANTOREL_RC_NAME}.rc)
  configure_file(${CMAKE_SOURCE_DIR}/data/vantorel.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${VANTOREL_ICO};${VANTOREL_MANIFEST}")
  target_sources(${VANTOREL_RC_NAME} PRIVATE ${rc})
endforeach()

# What the installer and the ZIP file hold: the two programs, a read-me for
# Windows (CRLF line ends, as Notepad everywhere shows them) and the licence,
# all in one folder.
install(TARGETS Vantorel vantorel-fit RUNTIME DESTINATION .)
configure_file(${CMAKE_SOURCE_DIR}/data/README-windows.txt.in ${CMAKE_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

# The packages (cpack in build-windows, as `make windows` runs it):
# Vantorel-VERSION-win64-setup.exe, a 64-bit NSIS installer into
# Program Files\Vantorel with a Start-menu entry, an uninstaller and an entry
# in the installed programs, and Vantorel-VERSION-win64.zip, which unpacks
# into a folder Vantorel-VERSION.
set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_NAME Vantorel)
set(CPACK_PACKAGE_VENDOR "Morvale Services")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_FILE_NAME Vantorel-${PROJECT_VERSION}-win64)
# The installer's name and the ZIP file's folder (cmake/windows_package.cmake).
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/windows_package.cmake)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Vantorel)
# Without the version, so that a newer installer finds and first removes an older one.
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Vantorel)
set(CPACK_PACKAGE_EXECUTABLES Vantorel Vantorel)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_DISPLAY_NAME Vantorel)
# The pages and the window titles name the version (the line at the bottom
# too: below).
set(CPACK_NSIS_PACKAGE_NAME "Vantorel ${PROJECT_VERSION}")
set(CPACK_NSIS_MUI_FINISHPAGE_RUN Vantorel.exe)
set(CPACK_NSIS_INSTALLED_ICON_NAME Vantorel.exe)
set(CPACK_NSIS_MUI_ICON ${VANTOREL_ICO})
set(CPACK_NSIS_MUI_UNIICON ${VANTOREL_ICO})
set(CPACK_NSIS_URL_INFO_ABOUT "${VANTOREL_HOMEPAGE}")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)

# CPack's own installer script, changed where it must be; each change finds
# its place or the build stops.
set(nsis_template ${CMAKE_ROOT}/Modules/Internal/CPack/NSIS.template.in)
file(READ ${nsis_template} nsis)
function(vantorel_nsis_edit from to)
  string(FIND "${nsis}" "${from}" at)
  if(at LESS 0)
    message(FATAL_ERROR "${nsis_template} is not laid out as cmake/windows.cmake expects: no\n${from}")
  endif()
  string(REPLACE "${from}" "${to}" edited "${nsis}")
  set(nsis "${edited}" PARENT_SCOPE)
endfunction()
set(uninstall_key [=[Software\Microsoft\Windows\CurrentVersion\Uninstall\@CPACK_PACKAGE_INSTALL_REGISTRY_KEY@]=])
# The installer keeps its own values (the folder, the Start-menu folder) in
# its uninstall key rather than in HKLM\Software\Morvale Services\Vantorel:
# that is where earlier versions kept the settings, and, in an installation
# for one user (HKCU), where the settings are now; its uninstaller deletes
# that key whole.
vantorel_nsis_edit([=[Software\@CPACK_PACKAGE_VENDOR@\@CPACK_PACKAGE_INSTALL_REGISTRY_KEY@"]=] "${uninstall_key}\"")
# The uninstall key says that there is nothing to change or repair, as
# numbers, and how much the installation takes (in KiB).
vantorel_nsis_edit("  Push \"NoRepair\"\n  Push \"1\"\n  Call ConditionalAddToRegistry\n" "")
vantorel_nsis_edit("  Push \"NoModify\"\n  Push \"1\"\n  Call ConditionalAddToRegistry\n" "")
vantorel_nsis_edit("@CPACK_NSIS_EXTRA_INSTALL_COMMANDS@" "\
  WriteRegDWORD SHCTX \"${uninstall_key}\" \"NoModify\" 1
  WriteRegDWORD SHCTX \"${uninstall_key}\" \"NoRepair\" 1
  \${GetSize} \"$INSTDIR\" \"/S=0K\" $0 $1 $2
  WriteRegDWORD SHCTX \"${uninstall_key}\" \"EstimatedSize\" $0
")
# Another version installed: which one, and what going on does, in plain words.
vantorel_nsis_edit([=[  MessageBox MB_YESNOCANCEL|MB_ICONEXCLAMATION \
  "@CPACK_NSIS_PACKAGE_NAME@ is already installed. $\n$\nDo you want to uninstall the old version before installing the new one?" \
  /SD IDYES IDYES uninst IDNO inst
  Abort]=] [=[  ReadRegStr $4 HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\@CPACK_PACKAGE_INSTALL_REGISTRY_KEY@" "DisplayVersion"
  ${VersionCompare} "$4" "@CPACK_PACKAGE_VERSION@" $5
  StrCmp $5 0 same_version
  StrCmp $5 1 newer_version
  MessageBox MB_OKCANCEL|MB_ICONINFORMATION "Vantorel $4 is installed. OK replaces it with Vantorel @CPACK_PACKAGE_VERSION@; your saved settings stay." /SD IDOK IDOK uninst
  Abort
same_version:
  MessageBox MB_OKCANCEL|MB_ICONINFORMATION "Vantorel $4 is installed already: this is the same version. OK installs it again; your saved settings stay." /SD IDOK IDOK uninst
  Abort
newer_version:
  MessageBox MB_OKCANCEL|MB_ICONEXCLAMATION "A newer Vantorel, $4, is installed. OK replaces it with the older Vantorel @CPACK_PACKAGE_VERSION@; your saved settings stay. Cancel keeps $4." /SD IDOK IDOK uninst
  Abort]=])
# The uninstaller says when it leaves the program's folder because of files
# the user made there (with /S it says nothing).
vantorel_nsis_edit("  RMDir \"$INSTDIR\"\n" "  RMDir \"$INSTDIR\"\n  IfFileExists \"$INSTDIR\\*.*\" 0 +2\n    MessageBox MB_OK|MB_ICONINFORMATION \"$INSTDIR was left in place: it holds files that Vantorel did not install there.\" /SD IDOK\n")
# The installer is a 64-bit program: a 32-bit one would write to the 32-bit
# view of the registry and needs Windows' 32-bit layer, which Debian's Wine
# lacks. It carries the version information of the programs, the line at the
# bottom of its pages names the program rather than the packager (CPack's own
# setting for it trims the line, which makensis refuses on Linux), and the
# finish page offers to run Vantorel. These go first, after the opening comment line
# (the file begins with a byte-order mark, which must stay first).
string(FIND "${nsis}" "\n" first_line_end)
math(EXPR first_line_end "${first_line_end} + 1")
string(SUBSTRING "${nsis}" 0 ${first_line_end} head)
string(SUBSTRING "${nsis}" ${first_line_end} -1 nsis)
set(version_info "VIProductVersion ${PROJECT_VERSION}.0\n")
foreach(pair "ProductName|Vantorel" "CompanyName|Morvale Services" "LegalCopyright|${VANTOREL_COPYRIGHT}"
        "FileDescription|Vantorel ${PROJECT_VERSION} Setup" "FileVersion|${PROJECT_VERSION}"
        "ProductVersion|${PROJECT_VERSION}" "OriginalFilename|Vantorel-${PROJECT_VERSION}-win64-setup.exe")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 key)
  list(GET pair 1 value)
  string(APPEND version_info "VIAddVersionKey /LANG=1033 ${key} \"${value}\"\n")
endforeach()
file(WRITE ${CMAKE_BINARY_DIR}/nsis/NSIS.template.in "${head}Target amd64-unicode
!include FileFunc.nsh
!include WordFunc.nsh
BrandingText \"Vantorel ${PROJECT_VERSION}\"
!define MUI_FINISHPAGE_RUN_TEXT \"Run Vantorel\"
${version_info}${nsis}")
set(CPACK_MODULE_PATH ${CMAKE_BINARY_DIR}/nsis)
include(CPack)

# "Calculate" in the Win32 window against the pure search (make bench runs it under Wine).
add_executable(calculate_win32 bench/calculate_win32.cpp)
target_link_libraries(calculate_win32 PRIVATE vantorel_win32view)

# The tests: each tests/NAME.cpp becomes NAME.exe, linked with every library
# above, and runs as one test under Wine (the emulator of the toolchain file),
# so a test program starts Wine once, not once per case.
set(VANTOREL_WINDOWS_TESTS test_model test_fit test_output test_entry test_graph test_settings test_app test_printchooser
                           test_files_windows test_gdi_windows test_store_windows)

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
  # test_model, whose number tests take a few seconds, twice did not end
  # under Wine (its tests all passed) while other test programs started and
  # ended beside it, and held test_gdi_windows after it: both run alone.
  set_tests_properties(Windows.test_model Windows.test_gdi_windows PROPERTIES RUN_SERIAL TRUE)
  # The user scenarios against the Win32 window, on an Xvfb of their own.
  add_executable(test_conformance_win32 tests/test_conformance_win32.cpp)
  target_link_libraries(test_conformance_win32 PRIVATE ${layers} GTest::gtest_main)
  # Its pictures of the window are compared with the Qt view's, which the Linux build's tests keep.
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/pictures)
  target_compile_definitions(test_conformance_win32 PRIVATE VANTOREL_PICTURES="Z:${CMAKE_BINARY_DIR}/pictures"
                                                            VANTOREL_COMPARE_WITH="Z:${CMAKE_SOURCE_DIR}/build/pictures/Qt")
  add_test(NAME Windows.ConformanceUnderWine COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/conformance_wine.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(Windows.ConformanceUnderWine PROPERTIES TIMEOUT 300)
  # No display (wine-run.sh runs Wine without one): one line says so, and the status is 1, as on Linux.
  add_test(NAME Windows.NoDisplay COMMAND bash -c "out=$(bash \"$@\" 2>&1); s=$?; echo \"$out\"; [ $s = 1 ] && [ \"$out\" = 'Vantorel needs a graphical display (the main window could not be made); vantorel-fit works without one.' ]"
           _ ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh ${CMAKE_BINARY_DIR}/wineprefix $<TARGET_FILE:Vantorel>)
  # Vantorel.exe in a real window under Wine on an Xvfb of its own, driven with xdotool.
  add_test(NAME Windows.WindowUnderWine COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/window_wine.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(Windows.WindowUnderWine PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)
  # Printing from it and from vantorel-fit.exe: with no print system, and to the CUPS queue VantorelPDF.
  # vantorel-fit.exe's settings files: exported, refused when foreign, imported into the registry.
  add_test(NAME Windows.SettingsFileUnderWine COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/settings_wine.sh ${CMAKE_BINARY_DIR})
  add_test(NAME Windows.PrintingUnderWine COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/print_wine.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(Windows.PrintingUnderWine PROPERTIES TIMEOUT 600 RUN_SERIAL TRUE SKIP_RETURN_CODE 77)
  # The installer and the ZIP file that cpack made from this build: installed, run and uninstalled in a fresh prefix.
  add_test(NAME Windows.InstallerUnderWine COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/installer_wine.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(Windows.InstallerUnderWine PROPERTIES TIMEOUT 180)
endif()
