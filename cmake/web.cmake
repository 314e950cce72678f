# The browser build (emcmake cmake, as `make web` runs it): the libraries of
# standard C++ that CMakeLists.txt makes above, the browser's view and
# implementations (web/), and the site in site/: the page, its script and
# style, the program as WebAssembly, the web app manifest with the icons
# and the service worker that keeps it all for offline use.
set(VANTOREL_SITE ${CMAKE_BINARY_DIR}/site)
add_subdirectory(web)

# The icons, drawn by platform/icon.cpp with the build machine's own
# compiler, and turned into PNG files by ImageMagick.
find_program(VANTOREL_HOST_CXX NAMES c++ g++ REQUIRED DOC "The build machine's C++ compiler, for make_web_icons")
find_program(VANTOREL_CONVERT NAMES convert REQUIRED DOC "ImageMagick, for the web icons")
set(icon_sources data/make_web_icons.cpp platform/icon.cpp model/numtext.cpp model/decimal.cpp model/utf8.cpp
    model/casefold.cpp)
list(TRANSFORM icon_sources PREPEND ${CMAKE_SOURCE_DIR}/)
file(GLOB icon_headers ${CMAKE_SOURCE_DIR}/platform/*.h ${CMAKE_SOURCE_DIR}/model/*.h)
set(make_icons ${CMAKE_BINARY_DIR}/host/make_web_icons)
add_custom_command(OUTPUT ${make_icons}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
  COMMAND ${VANTOREL_HOST_CXX} -std=c++20 -O2 -ffp-contract=off -I${CMAKE_SOURCE_DIR} -o ${make_icons} ${icon_sources}
  DEPENDS ${icon_sources} ${icon_headers}
  COMMENT "Building make_web_icons for the build machine")
set(icon_files)
foreach(size 192 512)
  set(pam ${CMAKE_BINARY_DIR}/host/icon-${size}.pam)
  add_custom_command(OUTPUT ${VANTOREL_SITE}/icon-${size}.png
    COMMAND ${make_icons} ${size} ${pam}
    COMMAND ${VANTOREL_CONVERT} ${pam} -strip -define png:compression-level=9 ${VANTOREL_SITE}/icon-${size}.png
    DEPENDS ${make_icons} COMMENT "Drawing the ${size} pixel icon")
  list(APPEND icon_files ${VANTOREL_SITE}/icon-${size}.png)
endforeach()
add_custom_command(OUTPUT ${VANTOREL_SITE}/icon.svg COMMAND ${make_icons} svg ${VANTOREL_SITE}/icon.svg
  DEPENDS ${make_icons} COMMENT "Writing the scalable icon")
list(APPEND icon_files ${VANTOREL_SITE}/icon.svg)

# The page's own files, the version put in where they name it; the service
# worker's cache is named after the version and a digest of the program, so
# that a new build replaces the old one in every browser.
set(page_files index.html page.js page.css manifest.webmanifest)
set(site_files)
foreach(f ${page_files})
  configure_file(${CMAKE_SOURCE_DIR}/web/site/${f} ${VANTOREL_SITE}/${f} @ONLY)
  list(APPEND site_files ${VANTOREL_SITE}/${f})
endforeach()
add_custom_command(OUTPUT ${VANTOREL_SITE}/sw.js
  COMMAND ${CMAKE_COMMAND} -DIN=${CMAKE_SOURCE_DIR}/web/site/sw.js -DOUT=${VANTOREL_SITE}/sw.js
          -DVERSION=${PROJECT_VERSION} -DWASM=${VANTOREL_SITE}/vantorel.wasm -P ${CMAKE_SOURCE_DIR}/cmake/web-sw.cmake
  DEPENDS vantorel ${CMAKE_SOURCE_DIR}/web/site/sw.js ${CMAKE_SOURCE_DIR}/cmake/web-sw.cmake ${site_files}
  COMMENT "Writing the service worker")
add_custom_target(site ALL DEPENDS ${icon_files} ${VANTOREL_SITE}/sw.js)

# The fit's figures from the WebAssembly build of the model, run by Node.js,
# to compare with the Linux build's (scripts/crosscheck.py, in make test).
add_executable(fit_report ${CMAKE_SOURCE_DIR}/bench/fit_report.cpp)
target_link_libraries(fit_report PRIVATE vantorel_model)
set_target_properties(fit_report PROPERTIES SUFFIX ".js")
target_link_options(fit_report PRIVATE -sENVIRONMENT=node -sWASM_ASYNC_COMPILATION=0 -sNODERAWFS=1 -sEXIT_RUNTIME=1)
