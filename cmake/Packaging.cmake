# Installation and the Debian package: the program and the demo generator,
# the desktop entry, the icon in the hicolor theme (drawn at build time from
# the About box picture) and the AppStream metainfo.
include(GNUInstallDirs)

# The one name the desktop entry, the metainfo and the icon go by.
set(TAMSEL_APP_ID bg.tamsel.Tamsel)
set(TAMSEL_RELEASE_DATE 2026-12-09)
set(TAMSEL_LICENSE LicenseRef-proprietary)
set(TAMSEL_ICON_SIZES 16 22 24 32 48 64 128 256)

# "tamsel --version" tells the version the package carries; the desktop
# finds the program's entry by its id.
target_compile_definitions(tamsel PRIVATE
  TAMSEL_VERSION="${PROJECT_VERSION}" TAMSEL_APP_ID="${TAMSEL_APP_ID}")

add_executable(tamsel-icons ${CMAKE_SOURCE_DIR}/packaging/TamselIcons.cpp)
target_link_libraries(tamsel-icons PRIVATE Qt6::Gui)
set_target_properties(tamsel-icons PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)

set(TAMSEL_PICTURE ${CMAKE_SOURCE_DIR}/src/app/DrovikAbout.xpm)
set(TAMSEL_ICON_DIR ${CMAKE_BINARY_DIR}/packaging/icons)
set(TAMSEL_ICON_FILES ${TAMSEL_ICON_DIR}/scalable/apps/${TAMSEL_APP_ID}.svg)
foreach(size ${TAMSEL_ICON_SIZES})
  list(APPEND TAMSEL_ICON_FILES ${TAMSEL_ICON_DIR}/${size}x${size}/apps/${TAMSEL_APP_ID}.png)
endforeach()
add_custom_command(OUTPUT ${TAMSEL_ICON_FILES}
  COMMAND tamsel-icons ${TAMSEL_PICTURE} ${TAMSEL_APP_ID} ${TAMSEL_ICON_DIR} ${TAMSEL_ICON_SIZES}
  DEPENDS tamsel-icons ${TAMSEL_PICTURE}
  COMMENT "Drawing the icon from the About box picture"
  VERBATIM)
add_custom_target(tamsel-icon-files ALL DEPENDS ${TAMSEL_ICON_FILES})

configure_file(${CMAKE_SOURCE_DIR}/packaging/${TAMSEL_APP_ID}.metainfo.xml.in
  ${CMAKE_BINARY_DIR}/packaging/${TAMSEL_APP_ID}.metainfo.xml @ONLY)

install(TARGETS tamsel tamsel-demo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${TAMSEL_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${TAMSEL_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${TAMSEL_ICON_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)

# "cpack -G DEB" in the build folder makes tamsel_VERSION_ARCH.deb; the
# libraries it needs are read off the binaries by dpkg-shlibdeps. Qt's
# Bulgarian texts are only recommended: without them Qt's buttons speak English.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tamsel)
set(CPACK_PACKAGE_VENDOR Halvern)
set(CPACK_PACKAGE_CONTACT "Tamsel developers <tamsel@tamsel.bg>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "read-only browser for SQL Anywhere databases")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Tamsel looks into the tables of a running SQL Anywhere database through"
  "ODBC, without a query tool: tables side by side, filters, sorting, master"
  "and detail links, column sums and text export. It never changes a row."
  "Its interface is in Bulgarian. The demo generator tamsel-demo makes a small"
  "shop database that Tamsel opens without a server.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
include(CPack)
