# What `cmake --install` puts in place, and the Debian package `make package`
# builds from it.
include(GNUInstallDirs)
# Named after the package, as Debian has it.
set(VANTOREL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/vantorel)

# The icon theme tree, drawn at build time from platform/icon.cpp.
add_executable(make_icons ${CMAKE_CURRENT_LIST_DIR}/make_icons.cpp)
target_link_libraries(make_icons PRIVATE vantorel_qtview)
set(VANTOREL_ICONS ${CMAKE_BINARY_DIR}/icons)
add_custom_command(OUTPUT ${VANTOREL_ICONS}/hicolor/scalable/apps/${VANTOREL_ID}.svg
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${VANTOREL_ICONS}
  COMMAND make_icons ${VANTOREL_ICONS} ${VANTOREL_ID}
  DEPENDS make_icons
  COMMENT "Drawing the icons")
add_custom_target(icons ALL DEPENDS ${VANTOREL_ICONS}/hicolor/scalable/apps/${VANTOREL_ID}.svg)

set(VANTOREL_DATA ${CMAKE_BINARY_DIR}/data)
configure_file(${CMAKE_CURRENT_LIST_DIR}/${VANTOREL_ID}.metainfo.xml.in ${VANTOREL_DATA}/${VANTOREL_ID}.metainfo.xml @ONLY)
# A manual page for each program name, compressed as Debian installs them.
foreach(page Vantorel vantorel-fit)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${page}.1.in ${VANTOREL_DATA}/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${VANTOREL_DATA}/${page}.1.gz
    COMMAND gzip -9nf -k ${VANTOREL_DATA}/${page}.1
    DEPENDS ${VANTOREL_DATA}/${page}.1)
  list(APPEND VANTOREL_MAN_PAGES ${VANTOREL_DATA}/${page}.1.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${VANTOREL_MAN_PAGES})
# The changelog, as a native Debian package carries it.
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog ${VANTOREL_DATA}/changelog COPYONLY)
add_custom_command(OUTPUT ${VANTOREL_DATA}/changelog.gz
  COMMAND gzip -9nf -k ${VANTOREL_DATA}/changelog
  DEPENDS ${VANTOREL_DATA}/changelog)
add_custom_target(changelog ALL DEPENDS ${VANTOREL_DATA}/changelog.gz)

# The window keeps the name Vantorel: its caption and its settings key come
# from the executable's name.
install(TARGETS Vantorel vantorel-fit RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Without the compiler's notes, as Debian's packages ship their programs.
foreach(program Vantorel vantorel-fit)
  install(CODE "execute_process(COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\" COMMAND_ERROR_IS_FATAL ANY)")
endforeach()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${VANTOREL_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VANTOREL_DATA}/${VANTOREL_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${VANTOREL_ICONS}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${VANTOREL_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The licence once, as Debian's copyright file.
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/docs/vantorel.png ${VANTOREL_DATA}/changelog.gz
        DESTINATION ${VANTOREL_DOCDIR})
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${VANTOREL_DOCDIR} RENAME copyright)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantorel)
set(CPACK_PACKAGE_VENDOR "Morvale Services")
set(CPACK_PACKAGE_CONTACT "Morvale Services <vantorel@morvaleservices.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_INSTALL_DIRECTORY /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${VANTOREL_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The faces that stand in for the window's: Liberation Mono has Courier New's
# metrics (the list, the printed list and the dope card), DejaVu Sans
# Condensed keeps every caption inside its control. Nimbus Sans Narrow only
# sets the copyright line a little larger; without it DejaVu Sans Condensed
# is set smaller to fit.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, fonts-dejavu-extra")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-urw-base35")
# The summary above is its first line; CPack indents these lines.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Vantorel is a desktop tool for air-rifle shooters. From the scope-turret
clicks measured at up to six ranges it fits a flat-fire pellet trajectory
and lists the clicks to dial at every whole range, as a list, a graph, a
printed page and a CSV file. vantorel-fit does the same in a terminal and
writes the printed list as a PDF dope card.
.
License: MIT")
include(CPack)
