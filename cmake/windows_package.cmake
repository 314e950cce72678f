# Read by cpack for each package it makes (CPACK_PROJECT_CONFIG_FILE in
# cmake/windows.cmake): the installer is Vantorel-VERSION-win64-setup.exe;
# the ZIP file unpacks into a folder Vantorel-VERSION, which names the file
# too (`make windows` renames it Vantorel-VERSION-win64.zip).
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "Vantorel-${CPACK_PACKAGE_VERSION}-win64-setup")
else()
  set(CPACK_PACKAGE_FILE_NAME "Vantorel-${CPACK_PACKAGE_VERSION}")
endif()
