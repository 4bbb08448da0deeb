# A Debian package of the two programs and their desktop files:
#   cmake --build build && (cd build && cpack -G DEB)
# gives build/morvane_<version>_<arch>.deb with its library dependencies
# worked out by dpkg-shlibdeps.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME morvane)
set(CPACK_PACKAGE_VENDOR "Morvane developers")
set(CPACK_PACKAGE_CONTACT "Morvane developers <morvane@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "take the pictures out of PowerPoint presentations")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_INSTALL_DIRECTORY /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Debug information stays in the build folder; the package gets stripped programs.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME morvane)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Morvane developers <morvane@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://example.org/morvane")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its image-format plugins (TIFF and others, for pictures that are
# converted) and its platform plugins at run time; dpkg-shlibdeps cannot see
# those, so they are named here.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-image-formats-plugins")
# Metric-compatible stand-ins for the fonts that metafiles and the windows
# name (Arial, Times New Roman, Tahoma), so chart labels keep their layout.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation")
# Native Wayland windows; without it Qt uses X11 through XWayland.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-wayland")
# The extended description; CPack puts the summary line above it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Morvane takes the pictures, and on request the text and the charts, out of
PowerPoint presentations: PowerPoint 97-2003 files (.ppt and .pps) and
PowerPoint 2007 and later files (.pptx and .ppsx). Open a presentation in its
window, or drop it onto the status box, and every picture is written beside
it as Img0001.Jpg, Img0002.Jpg and so on; charts become Graph0001.Bmp and the
slides' text a Word 97-2003 document.

The morvane-extract command runs the same job on many files. No office
suite is needed: Morvane reads the file format itself.")

# Debian's hardening: full RELRO (the GOT read-only after start) for the
# installed programs and the drawing module.
foreach(program morvane morvane-extract morvane_draw_module)
  if(TARGET ${program})
    target_link_options(${program} PRIVATE -Wl,-z,relro -Wl,-z,now)
  endif()
endforeach()

# A stripped install (CPack's, or cmake --install --strip) also drops the
# compiler's .comment and .note sections, as Debian's dh_strip does.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program morvane morvane-extract)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                              \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\")
    endforeach()
    execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${MORVANE_MODULE_DIR}/libmorvane-draw.so\")
  endif()")

include(CPack)
