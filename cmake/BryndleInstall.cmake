# cmake --install: the programs in bin/, the local node in libexec/bryndle/, the icons and themes
# in share/bryndle/ (what the runtime folder links to), the desktop entry, its icons, the
# AppStream metadata and the manual pages. cpack makes a .deb of the same.
set(BRYNDLE_APP_ID org.bryndle.bryndle)
set(desktop ${PROJECT_SOURCE_DIR}/data/desktop)

# Manual pages are installed compressed, as Debian has them.
function(bryndle_manual_page name)
    set(page ${PROJECT_BINARY_DIR}/man/${name}.1.gz)
    add_custom_command(OUTPUT ${page}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
        COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" gzip ${PROJECT_SOURCE_DIR}/data/man/${name}.1
                ${page}
        DEPENDS ${PROJECT_SOURCE_DIR}/data/man/${name}.1
        VERBATIM)
    add_custom_target(${name}_manual_page ALL DEPENDS ${page})
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

install(TARGETS bryndle-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
bryndle_manual_page(bryndle-cli)
if(TARGET bryndle-node)
    install(TARGETS bryndle-node RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/bryndle)
endif()

if(TARGET bryndle)
    install(TARGETS bryndle RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    bryndle_manual_page(bryndle)
    # The icons as the build assembles them for its runtime folder (Silk and the project's own).
    install(DIRECTORY ${BRYNDLE_RUNTIME_DIR}/icons/
            DESTINATION ${CMAKE_INSTALL_DATADIR}/bryndle/icons)
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/template/theme/
            DESTINATION ${CMAKE_INSTALL_DATADIR}/bryndle/template/theme)
    install(FILES ${desktop}/${BRYNDLE_APP_ID}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${desktop}/${BRYNDLE_APP_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    foreach(size 16 32 48 64 128 256)
        install(FILES ${desktop}/icons/${size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                RENAME ${BRYNDLE_APP_ID}.png)
    endforeach()
    install(FILES ${desktop}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/bryndle)
endif()

# The .deb: its dependencies are the libraries the programs link (found by dpkg-shlibdeps) and
# what they load at run time without linking it.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME bryndle)
set(CPACK_PACKAGE_VENDOR "The Bryndle developers")
set(CPACK_PACKAGE_CONTACT "The Bryndle developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop client for the Shingetsu bulletin board")
set(CPACK_PACKAGE_DESCRIPTION
    "Bryndle shows the threads of a Shingetsu node in a tabbed window with a Japanese
interface, keeps them in a local cache, posts through the node, and opens shingetsu://
links. It comes with bryndle-cli, a command-line tool for the node, and a small local node.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARGET bryndle)
    # The display's platform plugins, the web engine's helper process, the TIFF reader, and
    # the Japanese interface font.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "qt6-qpa-plugins, libqt6webenginewidgets6, libqt6webenginecore6-bin, qt6-image-formats-plugins, fonts-ipafont-gothic")
endif()
include(CPack)
