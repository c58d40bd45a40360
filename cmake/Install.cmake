# What `cmake --install` and the Debian package put in place, under the usual folders
# of the prefix: the binary, the desktop entry and the icon for menus and docks, the
# AppStream metainfo for software centres, the manual page, and the copyright and
# changelog where Debian keeps a package's documents.
include(GNUInstallDirs)

set(VELLORAN_METAINFO ${PROJECT_SOURCE_DIR}/resources/metainfo/org.velloran.Velloran.metainfo.xml)

# The newest release in the metainfo (its first <release>) dates the manual page and
# the package's changelog, so that the same build always makes the same files.
file(READ ${VELLORAN_METAINFO} _velloran_metainfo)
if(NOT _velloran_metainfo MATCHES "<release version=\"([^\"]+)\" date=\"([0-9]+-[0-9]+-[0-9]+)\"")
  message(FATAL_ERROR "${VELLORAN_METAINFO} names no release with a version and a date")
endif()
set(VELLORAN_RELEASE_VERSION ${CMAKE_MATCH_1})
set(VELLORAN_MAN_DATE ${CMAKE_MATCH_2})
execute_process(COMMAND date -u -R -d "${VELLORAN_MAN_DATE} 12:00"
                OUTPUT_VARIABLE VELLORAN_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)

# Debian wants manual pages and changelogs compressed with gzip -9 and without a time
# stamp in the header (-n), so that rebuilding gives the same bytes.
set(_velloran_doc_dir ${CMAKE_CURRENT_BINARY_DIR}/installed-docs)
configure_file(${PROJECT_SOURCE_DIR}/resources/man/velloran.1.in ${_velloran_doc_dir}/velloran.1 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/resources/debian/changelog.in ${_velloran_doc_dir}/changelog @ONLY)
foreach(_doc velloran.1 changelog)
  add_custom_command(OUTPUT ${_velloran_doc_dir}/${_doc}.gz
                     COMMAND gzip -9n -c ${_doc} > ${_doc}.gz
                     DEPENDS ${_velloran_doc_dir}/${_doc}
                     WORKING_DIRECTORY ${_velloran_doc_dir}
                     VERBATIM)
endforeach()
add_custom_target(velloran_installed_docs ALL
                  DEPENDS ${_velloran_doc_dir}/velloran.1.gz ${_velloran_doc_dir}/changelog.gz)

# The package's folder under share/doc carries the package's lower-case name.
set(VELLORAN_DOC_DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/velloran)

install(TARGETS velloran RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES resources/desktop/velloran.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES resources/icons/velloran.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${VELLORAN_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${_velloran_doc_dir}/velloran.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES resources/debian/copyright ${_velloran_doc_dir}/changelog.gz DESTINATION ${VELLORAN_DOC_DESTINATION})
