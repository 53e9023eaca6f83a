# Install layout (GNUInstallDirs), the desktop integration files and the
# Debian package. The programs find their data relative to themselves:
# bin/../share/kelvor/map_chip and bin/../share/doc/kelvor/manual.
include(GNUInstallDirs)

set(KELVOR_DATA_DIR ${CMAKE_INSTALL_DATADIR}/kelvor)
# Lower case like the package, whatever the project is called.
set(KELVOR_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/kelvor)
set(KELVOR_ICON_SIZES 16 24 32 48 64 128 256)

install(TARGETS kelvor kelvor-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/map_chip/ DESTINATION ${KELVOR_DATA_DIR}/map_chip)
install(FILES ${PROJECT_SOURCE_DIR}/examples/sample.kv DESTINATION ${KELVOR_DATA_DIR}/examples)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/manual/ DESTINATION ${KELVOR_DOC_DIR}/manual)

# The build tree mirrors the installed manual, so 説明書 works from build/bin too.
file(GLOB_RECURSE manual_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/manual/*)
add_custom_target(kelvor_manual ALL
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/docs/manual
          ${CMAKE_BINARY_DIR}/${KELVOR_DOC_DIR}/manual
  DEPENDS ${manual_files})

# Desktop entry, MIME package and AppStream metadata, all named by the one id.
set(packaging ${PROJECT_SOURCE_DIR}/packaging)
configure_file(${packaging}/${KELVOR_APP_ID}.metainfo.xml.in
  ${CMAKE_BINARY_DIR}/packaging/${KELVOR_APP_ID}.metainfo.xml @ONLY)
install(FILES ${packaging}/${KELVOR_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging}/${KELVOR_APP_ID}.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${KELVOR_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Icons rendered from the program's own icon at build time.
add_executable(kelvor-render-icons ${packaging}/render_icons.cpp)
target_link_libraries(kelvor-render-icons PRIVATE kelvor_resources Qt6::Gui)
set(icon_root ${CMAKE_BINARY_DIR}/icons/hicolor)
set(icon_files)
foreach(size ${KELVOR_ICON_SIZES})
  list(APPEND icon_files ${icon_root}/${size}x${size}/apps/${KELVOR_APP_ID}.png)
endforeach()
add_custom_command(OUTPUT ${icon_files}
  COMMAND kelvor-render-icons ${icon_root} ${KELVOR_APP_ID} ${KELVOR_ICON_SIZES}
  DEPENDS kelvor-render-icons
  COMMENT "Rendering the application icons")
add_custom_target(kelvor_icons ALL DEPENDS ${icon_files})
install(DIRECTORY ${icon_root}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)

# make package: a Debian package whose library dependencies dpkg-shlibdeps works out.
set(KELVOR_MAINTAINER "Kelvor maintainers <maintainers@kelvor.invalid>"
  CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Kelvor)
set(CPACK_PACKAGE_CONTACT ${KELVOR_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tile-map editor for 2D games")
# The summary becomes the synopsis line; CPack indents these lines itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Kelvor draws tile maps from the chips of a chip-set folder: stamp, fill,
erase, select, copy and paste chips on two levels, paint collision walls
and flags, with 256 steps of undo. Maps are saved as binary or text
documents and exported as map data, chip atlases and pictures.

kelvor-cli converts and exports maps without a display, for build
pipelines.")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps finds the shared libraries (Qt, zlib, zstd, libdeflate, pugixml, ...);
# nlohmann/json is headers only and needs nothing at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Japanese fonts for the interface, more picture formats for chip sets and
# exports, xdg-open for the manual, and Qt's own translations so that the
# standard dialogs speak the interface's language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic | fonts-noto-cjk, qt6-image-formats-plugins, xdg-utils, qt6-translations-l10n")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)
