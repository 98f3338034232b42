# Installation and packages. On Linux: the program, its manual page, desktop
# entry, AppStream metadata, icons and documents under the GNU directories,
# and a Debian package (`cmake --build --preset linux --target package`). For
# Windows: vimbora.exe with its version and icon resources, and a zip with the
# exe, the documents and the manual as a text page
# (`cmake --build --preset windows --target package`).
# Included from the top-level CMakeLists.txt after the `vimbora` target.
include(GNUInstallDirs)

set(manual_source ${PROJECT_SOURCE_DIR}/docs/vimbora.1)
set(manual_dir ${PROJECT_BINARY_DIR}/manual)
file(MAKE_DIRECTORY ${manual_dir})
set(packaging_dir ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${packaging_dir})

# The copyright notice of LICENSE ("Copyright (c) 2026 the Vimbora
# developers") and its permission text, for the Debian copyright file and the
# exe's version resource.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
if(NOT license MATCHES "\n(Copyright \\(c\\) ([^\n]+))\n\n(.*)$")
  message(FATAL_ERROR "LICENSE has no \"Copyright (c) year holder\" line")
endif()
set(copyright_notice ${CMAKE_MATCH_1})
set(copyright_holders ${CMAKE_MATCH_2})
string(STRIP "${CMAKE_MATCH_3}" license_text)

# Every icon is drawn from the one SVG at build time.
set(icon_source ${PROJECT_SOURCE_DIR}/packaging/vimbora.svg)
find_program(RSVG_CONVERT_PROGRAM rsvg-convert REQUIRED)
# vimbora_icon_pngs(VAR size...): PNG renders of the icon, one per size in
# pixels, their paths in VAR.
function(vimbora_icon_pngs var)
  set(pngs)
  foreach(size ${ARGN})
    set(png ${PROJECT_BINARY_DIR}/icons/vimbora-${size}.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${RSVG_CONVERT_PROGRAM} --width ${size} --height ${size} --output ${png} ${icon_source}
      DEPENDS ${icon_source}
      COMMENT "Drawing the ${size} pixel icon"
      VERBATIM)
    list(APPEND pngs ${png})
  endforeach()
  set(${var} ${pngs} PARENT_SCOPE)
endfunction()
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/icons)

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
    COMMAND ${CMAKE_COMMAND} -DINPUT=${manual_dir}/vimbora.txt -DOUTPUT=${manual_dir}/vimbora.txt
            -P ${PROJECT_SOURCE_DIR}/cmake/windows-text.cmake
    DEPENDS ${manual_source} ${PROJECT_SOURCE_DIR}/cmake/manual-text.cmake
            ${PROJECT_SOURCE_DIR}/cmake/windows-text.cmake
    COMMENT "Rendering the manual page as text"
    VERBATIM)
  add_custom_target(vimbora_manual ALL DEPENDS ${manual_dir}/vimbora.txt)

  # The file icon holds the sizes Explorer draws, the 256 pixel one stored as
  # PNG as Windows Vista and later read it.
  find_program(ICOTOOL_PROGRAM icotool REQUIRED)
  vimbora_icon_pngs(ico_pngs 16 24 32 48 64 128)
  vimbora_icon_pngs(ico_large 256)
  set(icon_file ${packaging_dir}/vimbora.ico)
  add_custom_command(OUTPUT ${icon_file}
    COMMAND ${ICOTOOL_PROGRAM} --create --output=${icon_file} ${ico_pngs} --raw=${ico_large}
    DEPENDS ${ico_pngs} ${ico_large}
    COMMENT "Making the Windows icon"
    VERBATIM)
  enable_language(RC)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/vimbora.rc.in ${packaging_dir}/vimbora.rc @ONLY)
  target_sources(vimbora PRIVATE ${packaging_dir}/vimbora.rc)
  set_source_files_properties(${packaging_dir}/vimbora.rc PROPERTIES OBJECT_DEPENDS ${icon_file})

  # Texts with Windows line endings, named .txt so that a double click opens
  # them.
  set(windows_texts ${manual_dir}/vimbora.txt)
  foreach(text README.md CHANGELOG.md LICENSE)
    string(REGEX REPLACE "\\.md$" "" name ${text})
    set(output ${packaging_dir}/${name}.txt)
    add_custom_command(OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -DINPUT=${PROJECT_SOURCE_DIR}/${text} -DOUTPUT=${output}
              -P ${PROJECT_SOURCE_DIR}/cmake/windows-text.cmake
      DEPENDS ${PROJECT_SOURCE_DIR}/${text} ${PROJECT_SOURCE_DIR}/cmake/windows-text.cmake
      VERBATIM)
    list(APPEND windows_texts ${output})
  endforeach()
  add_custom_target(vimbora_texts ALL DEPENDS ${windows_texts})

  install(TARGETS vimbora RUNTIME DESTINATION .)
  install(FILES ${windows_texts} DESTINATION .)

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
  # The icon as SVG and in the sizes launchers and software centres draw.
  install(FILES ${icon_source} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  set(icon_sizes 48 64 128 256)
  vimbora_icon_pngs(icon_pngs ${icon_sizes})
  add_custom_target(vimbora_icons ALL DEPENDS ${icon_pngs})
  foreach(size ${icon_sizes})
    install(FILES ${PROJECT_BINARY_DIR}/icons/vimbora-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME vimbora.png)
  endforeach()

  set(VIMBORA_MAINTAINER "The Vimbora developers <vimbora@developers.invalid>"
      CACHE STRING "Maintainer field of the Debian package: name <e-mail>")
  # The AppStream id names the project by the reversed domain of its web
  # site, which also serves the screenshot (docs/screenshot.png) that
  # software centres show.
  set(VIMBORA_APP_ID org.vimbora.vimbora)
  set(VIMBORA_WEBSITE "https://vimbora.org"
      CACHE STRING "Home page named in the AppStream metadata, serving screenshot.png")

  # The release histories, Debian's changelog and AppStream's <releases>,
  # both written from CHANGELOG.md.
  find_program(AWK_PROGRAM awk REQUIRED)
  set(release_notes ${PROJECT_SOURCE_DIR}/packaging/release-notes.awk)
  set(changelog ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
  set(metainfo ${packaging_dir}/${VIMBORA_APP_ID}.metainfo.xml)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/vimbora.metainfo.xml.in
                 ${packaging_dir}/vimbora.metainfo.xml.in @ONLY)
  add_custom_command(OUTPUT ${metainfo}
    COMMAND ${AWK_PROGRAM} -v format=appstream -v out=${metainfo} -f ${release_notes}
            ${changelog} ${packaging_dir}/vimbora.metainfo.xml.in
    DEPENDS ${release_notes} ${changelog} ${packaging_dir}/vimbora.metainfo.xml.in
    COMMENT "Writing the AppStream metadata"
    VERBATIM)
  # Debian's changelog of a native package is changelog.gz, compressed as the
  # manual page is.
  add_custom_command(OUTPUT ${packaging_dir}/changelog.gz
    COMMAND ${AWK_PROGRAM} -v format=debian -v package=${PROJECT_NAME}
            -v maintainer=${VIMBORA_MAINTAINER} -v out=${packaging_dir}/changelog
            -f ${release_notes} ${changelog}
    COMMAND ${GZIP_PROGRAM} -9 -n -f ${packaging_dir}/changelog
    DEPENDS ${release_notes} ${changelog}
    COMMENT "Writing the Debian changelog"
    VERBATIM)
  add_custom_target(vimbora_release_notes ALL DEPENDS ${metainfo} ${packaging_dir}/changelog.gz)
  install(FILES ${metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  # Debian's machine-readable copyright file holds LICENSE, which is therefore
  # not installed beside it; the release history is in changelog.gz. In the
  # license paragraph every line starts with a space and a blank line is " .".
  string(REPLACE "\n\n" "\n.\n" license_text "${license_text}")
  string(REPLACE "\n" "\n " license_text " ${license_text}")
  configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright.in ${packaging_dir}/copyright @ONLY)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${packaging_dir}/copyright
                ${packaging_dir}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR})

  # lintian (scripts/package-check) finds no error or warning. Three of its
  # informational tags remain, on how the program is compiled rather than
  # packaged: hardening-no-bindnow and hardening-no-fortify-functions (the
  # build uses the project's flags, not those of dpkg-buildflags) and
  # binary-has-unneeded-section .comment (cpack strips only the symbols).
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
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
