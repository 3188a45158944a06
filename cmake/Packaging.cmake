# Installation and packages.
#
#   cmake --install build --prefix DIR   quixmag in DIR/bin, its manual page
#                                        in DIR/share/man/man6
#   cpack -G DEB (in the build folder)   a Debian package of the same files
#
# The executable carries the sound library inside itself and loads it at run
# time, so the package's dependencies cannot be read off the executable alone:
# they are taken from the built sound library as well (see
# ShlibDepends.cmake.in).

include(GNUInstallDirs)

set(QUIXMAG_VERSION 1.0)

install(TARGETS quixmag RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES docs/quixmag.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)

# The issue the package carries, as its manifest names it, for the package's
# descriptions: "quix magazine, issue #1, december 2026".
# Only the keys above the first list ([[article]] has a title of its own).
file(READ "${ISSUE_DIR}/issue.toml" manifest_text)
string(FIND "${manifest_text}" "[[" first_list)
if(first_list GREATER_EQUAL 0)
  string(SUBSTRING "${manifest_text}" 0 ${first_list} manifest_text)
endif()
string(REGEX MATCHALL "(^|\n)(name|title|number|date) *=[^\n]*" manifest_lines "${manifest_text}")
set(ISSUE_NAME quix)
foreach(line ${manifest_lines})
  string(STRIP "${line}" line)
  if(line MATCHES "^([a-z]+) *= *\"?([^\"#]*[^\"# ])\"?")
    string(TOUPPER "${CMAKE_MATCH_1}" key)
    set(ISSUE_${key} "${CMAKE_MATCH_2}")
  endif()
endforeach()
if(NOT ISSUE_TITLE)
  set(ISSUE_TITLE "${ISSUE_NAME} magazine")
endif()
set(ISSUE_SAYS "${ISSUE_TITLE}, issue #${ISSUE_NUMBER}, ${ISSUE_DATE}")

# What an editor needs to make and ship an issue without a compiler: the
# checker, the runners of the other editions (when they were built: a
# Windows quixmag.exe and the web site), the sample issue to copy and the
# guide. quixmag --pack finds the runners in lib/quixmag beside bin/.
set(QUIX_WINDOWS_RUNNER "" CACHE FILEPATH "The Windows quixmag.exe to install as the Windows runner")
set(QUIX_WEB_RUNNER "" CACHE PATH "The web edition's site folder to install as the web runner")
if(NOT WIN32)
  # The checker, installed as quixmag-check (its target is defined with the tools).
  install(PROGRAMS ${CMAKE_CURRENT_BINARY_DIR}/check_content DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME quixmag-check)
  install(FILES docs/quixmag-check.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # Stripped like the magazine (CPack strips only what install(TARGETS) installs).
  install(CODE "execute_process(COMMAND strip --strip-unneeded
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/quixmag-check\")")
endif()
set(RUNNERS_DIR ${CMAKE_INSTALL_LIBDIR}/quixmag)
if(NOT WIN32)
  set(RUNNERS_DIR lib/quixmag)  # found from bin/ as ../lib/quixmag, whatever the multiarch folder
endif()
# The build's own runners folder, for the tests: build/runners/.
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/runners)
if(QUIX_WINDOWS_RUNNER)
  install(PROGRAMS ${QUIX_WINDOWS_RUNNER} DESTINATION ${RUNNERS_DIR})
  file(CREATE_LINK ${QUIX_WINDOWS_RUNNER} ${CMAKE_CURRENT_BINARY_DIR}/runners/quixmag.exe SYMBOLIC)
endif()
if(QUIX_WEB_RUNNER)
  install(DIRECTORY ${QUIX_WEB_RUNNER}/ DESTINATION ${RUNNERS_DIR}/web)
  file(CREATE_LINK ${QUIX_WEB_RUNNER} ${CMAKE_CURRENT_BINARY_DIR}/runners/web SYMBOLIC)
endif()
install(DIRECTORY tests/sample-issue/ DESTINATION ${CMAKE_INSTALL_DATADIR}/quixmag/sample-issue)
install(FILES docs/making-an-issue.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY docs/images/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/images)

if(WIN32)
  # THIRD-PARTY.txt for the zip: the libraries linked into quixmag.exe and
  # the sound library inside it, with their licences. libopenmpt's and SDL2's
  # copyright files are those of their source packages, kept by
  # tools/windows_deps.sh; the MinGW-w64 runtime and GCC's run-time
  # libraries are linked in statically (-static), and their packages'
  # copyright files are found from the libraries themselves.
  include(cmake/ThirdPartyNotices.cmake)
  foreach(package libopenmpt libsdl2)
    if(NOT EXISTS "${QUIX_WINDOWS_DEPS}/share/doc/${package}/copyright")
      message(FATAL_ERROR "${QUIX_WINDOWS_DEPS} has no copyright file of ${package}: "
        "run tools/windows_deps.sh again, it adds them to the cached libraries")
    endif()
  endforeach()
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libwinpthread.a
    OUTPUT_VARIABLE winpthread OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++.a
    OUTPUT_VARIABLE libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
  quix_package_copyright("${winpthread}" mingw_copyright mingw_version)
  quix_package_copyright("${libstdcxx}" gcc_copyright gcc_version)
  # libopenmpt's pkg-config version carries its build's name (+release...).
  string(REGEX REPLACE "\\+.*$" "" openmpt_version "${OPENMPT_VERSION}")
  quix_zip_library_entries("${QUIX_WINDOWS_DEPS}" zip_entries)
  quix_third_party_notices(third_party_notices ${CMAKE_CURRENT_BINARY_DIR}/THIRD-PARTY.txt quixmag.exe CRLF
    ENTRIES
    "libopenmpt ${openmpt_version}|${QUIX_WINDOWS_DEPS}/share/doc/libopenmpt/copyright"
    "SDL2 ${SDL2_VERSION}|${QUIX_WINDOWS_DEPS}/share/doc/libsdl2/copyright"
    ${zip_entries}
    "MinGW-w64 runtime and winpthreads ${mingw_version}|${mingw_copyright}"
    # GCC's copyright file is not machine-readable: its licence, as it states it.
    "GCC ${gcc_version} run-time libraries (libgcc, libstdc++)|${gcc_copyright}|GPL-3+ with the GCC Runtime Library Exception 3.1")
  return()
endif()

# The manual page renders without warnings and documents every switch and key.
enable_testing()
add_test(NAME manual_page
  COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tests/package/test_manpage.py)
# The package's copyright file covers the tree: the content under CC BY 4.0,
# the code under the MIT licence, with the texts of LICENSE.
add_test(NAME copyright_file
  COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tests/package/test_copyright.py)

set(CPACK_PACKAGE_NAME quixmag)
set(CPACK_PACKAGE_VERSION ${QUIXMAG_VERSION})
set(CPACK_PACKAGE_VENDOR "the quix group")
set(CPACK_PACKAGE_CONTACT "the quix group <quix@quix.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "text-mode electronic magazine with ANSI art and tracker music")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A magazine rather than a game: Debian keeps games in /usr/games, and the
# magazine belongs in /usr/bin like any program (its manual page stays in
# section 6).
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quix.example.org/")
# The long description; CPack puts the summary above it as the synopsis.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "quixmag carries ${ISSUE_SAYS}: one program that
carries the whole issue inside itself, with its ANSI screens, articles,
tutorials, an art gallery and tracker modules.
It shows them in an 80x25 text screen in any terminal, with light-bar menus,
a scrolling text viewer and background music. Editors make their own issue
with the sample issue and the guide it ships, and pack it for Linux, Windows
and the web with quixmag --pack, without a compiler.")
# Found by dpkg-shlibdeps in the project config file below, over the
# executable and the sound library it carries.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)

file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/ShlibDepends.cmake
  INPUT ${CMAKE_CURRENT_SOURCE_DIR}/cmake/ShlibDepends.cmake.in)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_BINARY_DIR}/ShlibDepends.cmake)

# Debian's own files (the copyright, the changelog, a compressed manual page)
# are added to the package only, after CPack has staged the installation.
configure_file(cmake/DebianFiles.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/DebianFiles.cmake @ONLY)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_BINARY_DIR}/DebianFiles.cmake)

include(CPack)

# The Windows zip is packed from the cross-built executable by tools/setup.sh
# --package with this configuration.
configure_file(cmake/WindowsZip.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/CPackWindowsZip.cmake @ONLY)
