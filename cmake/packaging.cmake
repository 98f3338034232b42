# Installation and packages. On Linux: the program, its manual page, desktop
# entry, icon and documents under the GNU directories, and a Debian package
# (`cmake --build --preset linux --target package`). For Windows: a zip with
# vimbora.exe, the documents and the manual as a text page
# (`cmake --build --preset windows --target package`).
# Included from the top-level CMakeLists.txt after the `vimbora` target.
include(GNUInstallDirs)

set(manual_source ${PROJECT_SOURCE_DIR}/docs/vimbora.1)
set(manual_dir ${PROJECT_BINARY_DIR}/manual)
file(MAKE_DIRECTORY ${manual_dir})

set(CPACK_PACKAGE_NAME vimbora)
set(CPACK_PACKAGE_VENDOR "The Vimbora developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "slide show of the images of one folder")
set(CPACK_PACKAGE_DESCRIPTION
    "Vimbora opens one window, finds the images of one folder, shuffles them and
shows each for a fixed time, the next one crossfading in during its last
seconds. A maximised window becomes borderless over its whole monitor. The
folder is read again after every pass, so new photos join the show without a
restart. It is configured by key=value words on its command line.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_VERBATIM_VARIABLES ON)
# Directories in the package are 0755 whatever the builder's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(WIN32)
  # The zip unpacks to one folder, vimbora-<version>-win64, holding the exe
  # and texts a Windows user can open: the Markdown files are plain text, and
  # the manual page is rendered to text on the build machine by groff.
  find_program(GROFF_PROGRAM groff REQUIRED)
  add_custom_command(OUTPUT ${manual_dir}/vimbora.txt
    COMMAND ${CMAKE_COMMAND} -DGROFF=${GROFF_PROGRAM} -DINPUT=${manual_source}
            -DOUTPUT=${manual_dir}/vimbora.txt -P ${PROJECT_SOURCE_DIR}/cmake/manual-text.cmake
    DEPENDS ${manual_source} ${PROJECT_SOURCE_DIR}/cmake/manual-text.cmake
    COMMENT "Rendering the manual page as text"
    VERBATIM)
  add_custom_target(vimbora_manual ALL DEPENDS ${manual_dir}/vimbora.txt)

  install(TARGETS vimbora RUNTIME DESTINATION .)
  install(FILES ${manual_dir}/vimbora.txt DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . RENAME README.txt)
  install(FILES ${PROJECT_SOURCE_DIR}/CHANGELOG.md DESTINATION . RENAME CHANGELOG.txt)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

  set(CPACK_GENERATOR ZIP)
else()
  # Manual pages are installed compressed, as Debian's policy asks: gzip -9,
  # without the file name and time stamp, so that builds are reproducible.
  find_program(GZIP_PROGRAM gzip REQUIRED)
  add_custom_command(OUTPUT ${manual_dir}/vimbora.1.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${manual_source} ${manual_dir}/vimbora.1
    COMMAND ${GZIP_PROGRAM} -9 -n -f ${manual_dir}/vimbora.1
    DEPENDS ${manual_source}
    COMMENT "Compressing the manual page"
    VERBATIM)
  add_custom_target(vimbora_manual ALL DEPENDS ${manual_dir}/vimbora.1.gz)

  install(TARGETS vimbora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${manual_dir}/vimbora.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/vimbora.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/vimbora.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/CHANGELOG.md
                ${PROJECT_SOURCE_DIR}/LICENSE
          DESTINATION ${CMAKE_INSTALL_DOCDIR})

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(VIMBORA_MAINTAINER "The Vimbora developers <vimbora@developers.invalid>"
      CACHE STRING "Maintainer field of the Debian package: name <e-mail>")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VIMBORA_MAINTAINER})
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The shared libraries the program links (SDL2, TurboJPEG, libpng, the C++
  # runtime) become the Depends field, as dpkg-shlibdeps finds them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The desktop entry asks xdg-user-dir for the Pictures folder and falls back
  # to the home folder without it.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-user-dirs)
endif()

include(CPack)
