# What `cmake --install` puts on the system, and the Debian package made of it.
include(GNUInstallDirs)
set(TESSEL_APP_ID org.example.Tessel)

# Manual pages: written in docs/man, compressed as Debian wants them.
set(TESSEL_MAN_PAGES tessel-convert)
if(TESSEL_GUI)
  list(APPEND TESSEL_MAN_PAGES tessel)
endif()
set(TESSEL_MAN_FILES)
foreach(page ${TESSEL_MAN_PAGES})
  configure_file(docs/man/${page}.1.in man/${page}.1 @ONLY)
  add_custom_command(OUTPUT man/${page}.1.gz
    COMMAND gzip -9nc ${page}.1 > ${page}.1.gz
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/man VERBATIM)
  list(APPEND TESSEL_MAN_FILES ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1.gz)
endforeach()
add_custom_target(tessel_man ALL DEPENDS ${TESSEL_MAN_FILES})
install(FILES ${TESSEL_MAN_FILES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(TARGETS tessel-convert RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TESSEL_GUI)
  install(TARGETS tessel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES data/${TESSEL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  configure_file(data/${TESSEL_APP_ID}.metainfo.xml.in ${TESSEL_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${TESSEL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES data/tessel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessel)
set(CPACK_PACKAGE_VENDOR "The Tessel developers")
set(CPACK_PACKAGE_CONTACT "The Tessel developers <tessel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "Tessel edits, times and converts subtitle files (MicroDVD, SubRip, SubViewer,
AQTitle, SAMI, Sub Station Alpha, Advanced SubStation Alpha, WebVTT and more) with
the film playing beside them. tessel-convert converts many files in one call.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # tessel_<version>_amd64.deb
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded when the first movie opens (Tesseract with the first picture
# subtitles read), so dpkg-shlibdeps cannot see them. OCR needs a language:
# English comes with the package; tesseract-ocr-* add others.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libmpv2, libavformat59, libavcodec59, libswresample4, libswscale6, libavutil57, libfftw3-single3, libtesseract5, tesseract-ocr-eng")
# libhunspell is linked, so dpkg-shlibdeps names it; the spell check also
# wants at least one dictionary, which any hunspell-* package provides.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "hunspell-en-us | hunspell-dictionary")
include(CPack)
