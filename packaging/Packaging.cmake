# Desktop entry and the Debian package. The package is made from the install rules:
#   cpack -G DEB --config build/CPackConfig.cmake   (or: cmake --build build --target package)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/velmoran.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmoran)
set(CPACK_PACKAGE_VENDOR Velmoran)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Velmoran maintainers <maintainers@velmoran.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Video and music player with automatic picture quality")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Velmoran plays video and music files and network streams. It chooses its picture-quality\n"
    "settings by itself, resumes files where they were left and answers the desktop's media keys.\n"
    "The interface is Korean.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

# Debian 12 runtime packages: one per library the binary links (tests/packaging checks that none
# is missing; minimum versions as dpkg-shlibdeps finds them, Qt and libmpv at the versions the
# player is built for), the SVG plugins that draw its icons, the SQLite driver of the media library
# and SQLite itself (the library scan writes through it directly), and ffmpeg for clip export and
# chapter pictures. The X11 platform plugin and the JPEG and ICO
# readers come with libqt6gui6.
set(VELMORAN_DEB_DEPENDS
    "libc6 (>= 2.34)"
    "libstdc++6 (>= 11)"
    "libgcc-s1 (>= 3.0)"
    "libmpv2 (>= 0.35)"
    "libqt6core6 (>= 6.4)"
    "libqt6gui6 (>= 6.4)"
    "libqt6widgets6 (>= 6.4)"
    "libqt6openglwidgets6 (>= 6.4)"
    "libqt6network6 (>= 6.4)"
    "libqt6dbus6 (>= 6.4)"
    "libqt6svg6 (>= 6.4)"
    "libqt6sql6 (>= 6.4)"
    "libqt6sql6-sqlite (>= 6.4)"
    "libsqlite3-0 (>= 3.20)"
    "ffmpeg")
# The streaming page's browser module, when built, links Qt WebEngine (the player itself does not).
if(VELMORAN_WEBBROWSER_MODULE)
    list(APPEND VELMORAN_DEB_DEPENDS "libqt6webenginecore6 (>= 6.4)" "libqt6webenginewidgets6 (>= 6.4)")
endif()
list(JOIN VELMORAN_DEB_DEPENDS ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
# Korean text needs a CJK font, Wayland sessions a native platform plugin (XWayland works without
# it), streams from video sites yt-dlp, and offline speech-to-text subtitles Python with pocketsphinx
# and its English model.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-noto-cjk, qt6-wayland, yt-dlp, python3, python3-pocketsphinx, pocketsphinx-en-us")

include(CPack)
