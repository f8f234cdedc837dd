# Where an installed copy lives. Included before the sources are configured: the program compiles in
# the system deployment file and the way from bin/ to its helper folder.
# A package installs under /usr, so its deployment file is /etc/quillora/quillora.ini.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX /usr CACHE PATH "Install prefix" FORCE)
endif()
include(GNUInstallDirs)

set(QUILLORA_APP_ID org.example.quillora)
set(QUILLORA_HELPER_DIR ${CMAKE_INSTALL_LIBEXECDIR}/quillora)
set(QUILLORA_SYSTEM_DEPLOYMENT_FILE ${CMAKE_INSTALL_FULL_SYSCONFDIR}/quillora/quillora.ini)
file(RELATIVE_PATH QUILLORA_SPEECHD_FROM_BINDIR ${CMAKE_INSTALL_FULL_BINDIR}
  ${CMAKE_INSTALL_FULL_LIBEXECDIR}/quillora)
