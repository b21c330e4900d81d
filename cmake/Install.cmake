# Install layout and the Debian package.
#
# The program finds its language files in "Lang" beside its own executable (the real file, with
# symbolic links resolved), so on Linux the executable and Lang/ share a private folder,
# <prefix>/lib/zelvo, and <prefix>/bin holds a relative link to it. zelvo-cli needs nothing beside
# it and goes straight into <prefix>/bin. Elsewhere the executable and Lang/ sit side by side.
include(GNUInstallDirs)

set(ZELVO_APP_ID "example.quorvex.Zelvo" CACHE STRING "Reverse-DNS id of the desktop entry, icon and metainfo")
set(ZELVO_INSTALL_PKGDIR "lib/zelvo" CACHE STRING "Folder, relative to the prefix, for zelvo and its Lang/")

# Qt's project setup gives installed programs an $ORIGIN run path for a bundled Qt; the packaged
# program uses the system's Qt and needs none.
foreach(_zelvo_target IN ITEMS zelvo zelvo-cli)
    if(TARGET ${_zelvo_target})
        set_target_properties(${_zelvo_target} PROPERTIES INSTALL_RPATH "")
    endif()
endforeach()

if(UNIX AND NOT APPLE)
    if(TARGET zelvo)
        install(TARGETS zelvo RUNTIME DESTINATION ${ZELVO_INSTALL_PKGDIR})
        install(DIRECTORY ${PROJECT_SOURCE_DIR}/res/Lang/ DESTINATION ${ZELVO_INSTALL_PKGDIR}/Lang
                FILES_MATCHING PATTERN "*.lang")

        # A relative link, made in the build tree and installed as a link, so the package and a
        # DESTDIR staging tree both carry it unchanged.
        file(RELATIVE_PATH _zelvo_link_target /${CMAKE_INSTALL_BINDIR} /${ZELVO_INSTALL_PKGDIR}/zelvo)
        set(_zelvo_link ${CMAKE_CURRENT_BINARY_DIR}/install-links/zelvo)
        file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/install-links)
        file(CREATE_LINK ${_zelvo_link_target} ${_zelvo_link} SYMBOLIC)
        install(FILES ${_zelvo_link} DESTINATION ${CMAKE_INSTALL_BINDIR})

        install(FILES ${PROJECT_SOURCE_DIR}/res/linux/${ZELVO_APP_ID}.desktop
                DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
        install(FILES ${PROJECT_SOURCE_DIR}/res/linux/${ZELVO_APP_ID}.metainfo.xml
                DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
        # The header chip's type, whose handler the desktop entry names; Debian's shared-mime-info
        # rebuilds its database from this folder through a dpkg trigger.
        install(FILES ${PROJECT_SOURCE_DIR}/res/linux/${ZELVO_APP_ID}.mime.xml
                DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME ${ZELVO_APP_ID}.xml)
        install(FILES ${PROJECT_SOURCE_DIR}/res/zelvo.svg
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${ZELVO_APP_ID}.svg)
        install(FILES ${PROJECT_SOURCE_DIR}/res/zelvo-256.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps RENAME ${ZELVO_APP_ID}.png)
    endif()
else()
    if(TARGET zelvo)
        install(TARGETS zelvo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} BUNDLE DESTINATION .)
        install(DIRECTORY ${PROJECT_SOURCE_DIR}/res/Lang/ DESTINATION ${CMAKE_INSTALL_BINDIR}/Lang
                FILES_MATCHING PATTERN "*.lang")
    endif()
endif()
if(TARGET zelvo-cli)
    install(TARGETS zelvo-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    if(ZELVO_CLI_MAN)
        install(FILES ${ZELVO_CLI_MAN} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
    if(UNIX AND NOT APPLE)
        # Where bash-completion loads a command's completion from on first use.
        install(FILES ${PROJECT_SOURCE_DIR}/res/linux/zelvo-cli.bash-completion
                DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME zelvo-cli)
    endif()
endif()

# `make package` (the `package` target): a Debian package of the above, prefix /usr.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "zelvo")
set(CPACK_PACKAGE_VENDOR "Quorvex")
set(CPACK_PACKAGE_CONTACT "Quorvex <zelvo@quorvex.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.quorvex.example/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Zelvo for File cuts one large file into a numbered set of chip files of a chosen size and joins\n\
such a set back into one file equal to the source. Desktop program (zelvo) with an English,\n\
Chinese and Japanese interface, and a command-line front (zelvo-cli).")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# dpkg-shlibdeps (dpkg-dev) derives the library dependencies; without it, Debian 12's names are
# given by hand. Either way Qt's X11 platform plugin is added: it is loaded at run time, not linked;
# and a CJK font, without which three of the four interface languages show only boxes.
find_program(ZELVO_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(ZELVO_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-noto-cjk")
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "qt6-qpa-plugins, fonts-noto-cjk, libqt6widgets6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6core6 (>= 6.4), libx11-6, libstdc++6 (>= 12), libc6 (>= 2.34)")
endif()
include(CPack)
