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
