# Installing and packaging: on Windows one folder, zipped and as an installer; elsewhere the
# layout of a desktop program and a Debian package.

# The version is written once, in project(); what the package says of it must follow.
string(REPLACE "." "\\." version_pattern "${PROJECT_VERSION}")
file(STRINGS data/changelog changelog_top LIMIT_COUNT 1)
if(NOT changelog_top MATCHES "^corvane \\(${version_pattern}\\) ")
  message(FATAL_ERROR "data/changelog's top entry is not version ${PROJECT_VERSION}: ${changelog_top}")
endif()
file(STRINGS data/corvane.1 manual_title LIMIT_COUNT 1)
if(NOT manual_title MATCHES "\"Corvane @PROJECT_VERSION@\"")
  message(FATAL_ERROR "data/corvane.1's title does not take the version from the build: ${manual_title}")
endif()

if(WIN32)
  # One folder, unpacked from the zip or installed: the viewer with its shaders beside it (a
  # double-click starts it there), a short README and the notices of the libraries linked in,
  # named by CORVANE_NOTICES.
  install(TARGETS corvane RUNTIME DESTINATION .)
  configure_file(data/windows/README.txt README.txt @ONLY)
  install(FILES shaders/vertex.fs shaders/fragment.fs ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)
  install(FILES data/copyright DESTINATION notices RENAME Corvane.txt)
  install(FILES ${CORVANE_NOTICES} DESTINATION notices)
  # The installer's licence page: Corvane's own copyright and licence, and where the others are.
  file(CONFIGURE OUTPUT licence.txt NEWLINE_STYLE CRLF CONTENT "Corvane ${PROJECT_VERSION}

${copyright_notice}
${licence_text}

corvane.exe also holds GLFW, GLEW, GLM and MinGW-w64's runtime and threads library, each under
its own licence: the notices folder beside it holds their notices. GCC's runtime libraries, also
in it, ask for none by their exception.
")
  set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_BINARY_DIR}/licence.txt)
  set(CPACK_GENERATOR ZIP NSIS)
  set(CPACK_PACKAGE_NAME corvane)
  set(CPACK_PACKAGE_VENDOR "${copyright_holder}")
  set(CPACK_PACKAGE_FILE_NAME corvane-${PROJECT_VERSION}-win64)
  set(CPACK_PACKAGE_INSTALL_DIRECTORY Corvane)
  set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Corvane)
  set(CPACK_PACKAGE_EXECUTABLES corvane Corvane)
  set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
  set(CPACK_NSIS_DISPLAY_NAME Corvane)
  set(CPACK_NSIS_PACKAGE_NAME Corvane)
  set(CPACK_NSIS_INSTALLED_ICON_NAME corvane.exe)
  set(CPACK_NSIS_MUI_ICON ${CMAKE_SOURCE_DIR}/data/icons/corvane.ico)
  set(CPACK_NSIS_MUI_UNIICON ${CMAKE_SOURCE_DIR}/data/icons/corvane.ico)
  # A 64-bit installer into the 64-bit Program Files; no build times stored for its files; the
  # installer's own version information, in the form corvane.exe has it (in US English).
  set(CPACK_NSIS_DEFINES "Target amd64-unicode\nSetDateSave off")
  string(APPEND CPACK_NSIS_DEFINES
    "\nVIProductVersion ${PROJECT_VERSION}.0\nVIFileVersion ${PROJECT_VERSION}.0")
  foreach(key IN ITEMS "ProductName Corvane" "FileDescription 'Corvane installer'"
                       "CompanyName '${copyright_holder}'" "LegalCopyright '${legal_copyright}'"
                       "ProductVersion ${PROJECT_VERSION}" "FileVersion ${PROJECT_VERSION}")
    string(APPEND CPACK_NSIS_DEFINES "\nVIAddVersionKey /LANG=1033 ${key}")
  endforeach()
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
  include(CPack)
  return()
endif()

# Installed as a desktop program: the viewer in libexec, its shaders in the data directory, and a
# `corvane` command that starts it there, whatever the working directory; a menu entry, an icon
# made from the start view, a manual page.
include(GNUInstallDirs)
install(TARGETS corvane RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/corvane)
# Stripped as Debian strips a program: no compiler notes either.
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND ${CMAKE_STRIP} --remove-section=.comment --remove-section=.note
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}/corvane/corvane\")
endif()")
install(FILES shaders/vertex.fs shaders/fragment.fs DESTINATION ${CMAKE_INSTALL_DATADIR}/corvane)
# Dated by SOURCE_DATE_EPOCH when that is set, as is the release below.
string(TIMESTAMP copyright_year "%Y" UTC)
set(contact_address developers@corvane.example.org)
configure_file(data/corvane.in corvane-command @ONLY)
install(PROGRAMS ${CMAKE_BINARY_DIR}/corvane-command DESTINATION ${CMAKE_INSTALL_BINDIR}
        RENAME corvane)
install(FILES data/corvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The software centres' entry, with its release's date.
string(TIMESTAMP release_date "%Y-%m-%d" UTC)
configure_file(data/corvane.metainfo.xml org.example.corvane.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/org.example.corvane.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 32 48 64 128 256)
  install(FILES data/icons/corvane-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME corvane.png)
endforeach()
configure_file(data/corvane.1 corvane.1 @ONLY)
# Debian wants its documentation compressed, without a time stamp.
execute_process(COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/corvane.1
                OUTPUT_FILE ${CMAKE_BINARY_DIR}/corvane.1.gz)
execute_process(COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/data/changelog
                OUTPUT_FILE ${CMAKE_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/corvane.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz data/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/corvane)
install(FILES data/corvane.lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME corvane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvane)
set(CPACK_PACKAGE_CONTACT "${copyright_holder} <${contact_address}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "interactive viewer of a cube-subdivision fractal")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Corvane builds a sponge fractal of 160000 cubes on the CPU, uploads it once and
draws it every frame with one instanced OpenGL 4.3 core draw, while you fly
through it with W, A, S, D and the arrow keys. It runs on X11 and Wayland.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A title bar and a close button on Wayland desktops that leave them to the window (GNOME):
# GLFW 3.4 and later draw them through libdecor, whose plugins Debian only recommends. Any plugin
# will do; where none is installed yet, the lightest.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libdecor-0-plugin-1-cairo | libdecor-0-plugin-1")
set(CPACK_STRIP_FILES ON)
include(CPack)
