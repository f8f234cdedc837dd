# Install rules and the Debian package (cmake --build build --target package gives
# build/quillora_<version>_amd64.deb). The layout itself is in cmake/installdirs.cmake.
set(QUILLORA_RELEASE_DATE 2026-12-07)
set(QUILLORA_RELEASE_TIME "Mon, 07 Dec 2026 12:00:00 +0000")
set(QUILLORA_MAINTAINER "Quillora maintainers <maintainers@quillora.example.org>")
set(QUILLORA_SYSTEMD_UNIT_DIR /usr/lib/systemd/system CACHE PATH "Where the package puts the speech service's unit")

set(packaging ${CMAKE_CURRENT_SOURCE_DIR}/packaging)
set(packaging_out ${CMAKE_CURRENT_BINARY_DIR}/packaging)
configure_file(${packaging}/quillora.ini.in ${packaging_out}/quillora.ini @ONLY)
configure_file(${packaging}/${QUILLORA_APP_ID}.metainfo.xml.in ${packaging_out}/${QUILLORA_APP_ID}.metainfo.xml @ONLY)
configure_file(${packaging}/changelog.in ${packaging_out}/changelog @ONLY)
file(WRITE ${packaging_out}/conffiles "${QUILLORA_SYSTEM_DEPLOYMENT_FILE}\n")

# Debian keeps the changelog and manual pages compressed, without a time stamp in the gzip header.
set(compressed)
foreach(source ${packaging_out}/changelog ${packaging}/quillora.1)
  get_filename_component(name ${source} NAME)
  add_custom_command(OUTPUT ${packaging_out}/${name}.gz
    COMMAND gzip -9 -n -c ${source} > ${packaging_out}/${name}.gz
    DEPENDS ${source})
  list(APPEND compressed ${packaging_out}/${name}.gz)
endforeach()
# The Chinese manual page, under its language's folder.
add_custom_command(OUTPUT ${packaging_out}/zh_CN/quillora.1.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${packaging_out}/zh_CN
  COMMAND gzip -9 -n -c ${packaging}/zh_CN/quillora.1 > ${packaging_out}/zh_CN/quillora.1.gz
  DEPENDS ${packaging}/zh_CN/quillora.1)
list(APPEND compressed ${packaging_out}/zh_CN/quillora.1.gz)
add_custom_target(quillora_packaging_files ALL DEPENDS ${compressed})

install(TARGETS quillora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET quillora-speechd)
  install(TARGETS quillora-speechd RUNTIME DESTINATION ${QUILLORA_HELPER_DIR})
endif()
install(FILES ${packaging}/${QUILLORA_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging_out}/${QUILLORA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES resources/images/src/marlinLogo.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
  RENAME ${QUILLORA_APP_ID}.svg)
install(FILES resources/images/marlinLogo.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps
  RENAME ${QUILLORA_APP_ID}.png)
install(FILES ${packaging_out}/quillora.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging_out}/zh_CN/quillora.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/zh_CN/man1)
install(FILES ${packaging}/copyright ${packaging_out}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillora)
install(FILES ${packaging_out}/quillora.ini DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/quillora)
install(FILES deploy/quillora-speechd.service DESTINATION ${QUILLORA_SYSTEMD_UNIT_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillora)
set(CPACK_PACKAGE_VENDOR "The Quillora developers")
set(CPACK_PACKAGE_CONTACT "${QUILLORA_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop speech-to-text tool with an offline speech service")
# CPack puts the summary above this as the synopsis line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quillora turns the speech in audio and video files, or in recordings made
in its window, into text documents. It transcodes each file with ffmpeg,
cuts it into segments and sends them to a speech recognition service.
.
It works offline: quillora-speechd, started on demand, recognises English
with PocketSphinx. The package also carries a hardened systemd unit for
running that service on a shared host (not enabled).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${QUILLORA_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Besides the libraries (libflite1, the speech service's letter-to-sound rules, named too): the transcoder, the English model, and the plug-ins Qt and Phonon load at run time
# (capture-device listing, playback); Qt loads OpenSSL only when an https service is reached, and
# verifies its certificate against the system's store of authorities (libssl3t64 from Debian 13 on).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ffmpeg, pocketsphinx-en-us, libflite1, libqt5multimedia5-plugins, phonon4qt5-backend-gstreamer, \
libssl3 | libssl3t64, ca-certificates")
# qttranslations5-l10n: Qt's own dialog buttons in Chinese for a Chinese desktop. sphinxtrain, sphinxbase-utils
# and pocketsphinx: the tools that adapt the model to the user's voice.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "gstreamer1.0-plugins-good, gstreamer1.0-libav, gstreamer1.0-pulseaudio, fonts-wqy-microhei | fonts-noto-cjk, \
qttranslations5-l10n, sphinxtrain, sphinxbase-utils, pocketsphinx")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${packaging_out}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# Files under /etc and /lib sit outside the prefix: stage the whole tree under DESTDIR.
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
include(CPack)
