# The notices of the libraries of others that a build links in
# (THIRD-PARTY.txt), made by tools/third_party_notices.py from the libraries'
# own Debian copyright files. The Windows build uses it (Packaging.cmake), and
# so must any other bundle that links libraries in.
#
#   quix_package_copyright(FILE COPYRIGHT_VAR VERSION_VAR)
#       the copyright file and upstream version of the Debian package that
#       installed FILE (a static library of the cross compiler, say), found
#       with dpkg
#   quix_third_party_notices(TARGET OUTPUT PRODUCT [CRLF] ENTRIES ENTRY...)
#       a target of the default build that writes OUTPUT for PRODUCT (the
#       name a reader knows, e.g. quixmag.exe), with CR LF line ends for
#       Windows when CRLF is given; each ENTRY is "LIBRARY|COPYRIGHT_FILE"
#       or "LIBRARY|COPYRIGHT_FILE|LICENCE", the licence being needed only
#       where the file is not machine-readable
#   quix_zip_library_entries(PREFIX ENTRIES_VAR)
#       the ENTRIES of zlib and minizip as tools/windows_deps.sh and
#       tools/web_deps.sh keep them in PREFIX, each named with the version its
#       header gives; stops when PREFIX lacks them. It runs in script mode
#       too (cmake/WebNotices.cmake includes this file).

function(quix_package_copyright file copyright_var version_var)
  get_filename_component(real "${file}" REALPATH)
  execute_process(COMMAND dpkg-query --search "${real}"
    OUTPUT_VARIABLE owner RESULT_VARIABLE result ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  # "package[:arch][, package...]: path"; the first package is enough.
  if(NOT result EQUAL 0 OR NOT owner MATCHES "^([^:, ]+)")
    message(FATAL_ERROR "no Debian package holds ${real}: its licence cannot be shipped")
  endif()
  set(package "${CMAKE_MATCH_1}")
  set(copyright "/usr/share/doc/${package}/copyright")
  if(NOT EXISTS "${copyright}")
    message(FATAL_ERROR "${package}, which holds ${real}, has no ${copyright}")
  endif()
  execute_process(COMMAND dpkg-query --show --showformat=\${Version} "${package}"
    OUTPUT_VARIABLE version OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(${copyright_var} "${copyright}" PARENT_SCOPE)
  # Without the epoch and the Debian revision: 12.2.0-14+deb12u1 is GCC 12.2.0.
  string(REGEX REPLACE "^[0-9]+:" "" version "${version}")
  string(REGEX REPLACE "-[^-]*$" "" version "${version}")
  set(${version_var} "${version}" PARENT_SCOPE)
endfunction()

function(quix_third_party_notices target output product)
  cmake_parse_arguments(PARSE_ARGV 3 arg "CRLF" "" "ENTRIES")
  set(options --product "${product}")
  if(arg_CRLF)
    list(APPEND options --crlf)
  endif()
  set(files "")
  foreach(entry ${arg_ENTRIES})
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 1 file)
    if(NOT EXISTS "${file}")
      message(FATAL_ERROR "${target}: the copyright file ${file} does not exist")
    endif()
    list(APPEND files "${file}")
  endforeach()
  set(maker "${PROJECT_SOURCE_DIR}/tools/third_party_notices.py")
  # The command line is kept in a file that changes only when it does, so
  # that a library added, left out or renamed remakes the notices.
  string(REPLACE ";" "\n" command_line "${product};${options};${arg_ENTRIES}")
  file(CONFIGURE OUTPUT "${output}.command" CONTENT "${command_line}\n" @ONLY)
  add_custom_command(OUTPUT "${output}"
    COMMAND /usr/bin/python3 "${maker}" "${output}" ${options} ${arg_ENTRIES}
    DEPENDS "${maker}" "${output}.command" ${files}
    COMMENT "Writing the notices of the libraries in ${product}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS "${output}")
endfunction()

function(quix_zip_library_entries prefix entries_var)
  foreach(file include/zlib.h include/minizip/zip.h share/doc/zlib/copyright share/doc/minizip/copyright)
    if(NOT EXISTS "${prefix}/${file}")
      message(FATAL_ERROR "${prefix} has no ${file}: run tools/windows_deps.sh or tools/web_deps.sh "
        "again, it adds zlib and minizip to the cached libraries")
    endif()
  endforeach()
  # zlib.h defines ZLIB_VERSION; zip.h's opening comment names minizip's.
  file(STRINGS "${prefix}/include/zlib.h" zlib_line REGEX "^#define ZLIB_VERSION \"[^\"]+\"" LIMIT_COUNT 1)
  file(STRINGS "${prefix}/include/minizip/zip.h" minizip_line REGEX "^ *Version [0-9][0-9.]*," LIMIT_COUNT 1)
  if(NOT zlib_line MATCHES "\"([^\"]+)\"")
    message(FATAL_ERROR "${prefix}/include/zlib.h defines no ZLIB_VERSION")
  endif()
  set(zlib_version "${CMAKE_MATCH_1}")
  if(NOT minizip_line MATCHES "Version ([0-9][0-9.]*),")
    message(FATAL_ERROR "${prefix}/include/minizip/zip.h names no version")
  endif()
  set(minizip_version "${CMAKE_MATCH_1}")
  # minizip's copyright file calls the licence "zlib"; it is the one zlib's
  # own file calls "Zlib", and the notices name it alike.
  set(${entries_var}
    "zlib ${zlib_version}|${prefix}/share/doc/zlib/copyright"
    "minizip ${minizip_version}|${prefix}/share/doc/minizip/copyright|Zlib"
    PARENT_SCOPE)
endfunction()
