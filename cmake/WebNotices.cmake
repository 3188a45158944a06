# Writes the site's licence notices: the project's LICENSE when there is one,
# then the Debian copyright files of libopenmpt (in the worklet's player), of
# zlib and minizip (the zip reader and writer in quixmag.wasm), of libansilove,
# whose default font's glyphs, as ansilove draws them, the screen's font holds
# (FONT_VERSION: that package's version), and of emscripten, whose C and C++
# run-time libraries are inside both .wasm files.
#   cmake -DOUT=THIRD-PARTY.txt -DSOURCE=<checkout> -DOPENMPT=<file> -DFONT=<file>
#         -DFONT_VERSION=<version> -DEMSCRIPTEN=<file> -DZIP_LIBRARIES=<output of tools/web_deps.sh>
#         -P WebNotices.cmake
include(${CMAKE_CURRENT_LIST_DIR}/ThirdPartyNotices.cmake)
get_filename_component(SITE "${OUT}" DIRECTORY)
if(EXISTS "${SOURCE}/LICENSE")
  file(COPY "${SOURCE}/LICENSE" DESTINATION "${SITE}")
endif()
file(READ "${OPENMPT}" openmpt_text)
# Of libansilove's file, the paragraphs of its packaging (debian/) and of
# the one compatibility source (compat/) are left out: the font's glyphs
# come from neither.
execute_process(COMMAND python3 ${SOURCE}/tools/copyright_for_build.py "${FONT}" debian/ compat/
  OUTPUT_VARIABLE font_text RESULT_VARIABLE stripped)
if(NOT stripped EQUAL 0)
  message(FATAL_ERROR "cannot read ${FONT}")
endif()
# emscripten's file covers its whole source package; the paragraphs of
# files only its test suite has (tests/) are left out, since no program
# of the site holds any of them (tools/copyright_for_build.py).
execute_process(COMMAND python3 ${SOURCE}/tools/copyright_for_build.py "${EMSCRIPTEN}" tests
  OUTPUT_VARIABLE emscripten_text RESULT_VARIABLE stripped)
if(NOT stripped EQUAL 0)
  message(FATAL_ERROR "cannot read ${EMSCRIPTEN}")
endif()
set(rule "================================================================================")

# zlib's and minizip's sections, named with the versions their headers give.
quix_zip_library_entries("${ZIP_LIBRARIES}" zip_entries)
set(zip_names "")
set(zip_sections "")
foreach(entry ${zip_entries})
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 name)
  list(GET parts 1 file)
  string(REGEX MATCH "^[^ ]+" package "${name}")
  file(READ "${file}" text)
  list(APPEND zip_names "${name}")
  string(APPEND zip_sections
    "${rule}\n${name} (Debian source package ${package}, debian/copyright)\n${rule}\n\n${text}\n")
endforeach()
list(JOIN zip_names " and " zip_names)

file(WRITE "${OUT}"
  "Third-party parts of the quix magazine web edition\n\n"
  "player.wasm is libopenmpt 0.6.9, built from Debian's source package.\n"
  "quixmag.wasm contains ${zip_names}, the zip reader and writer,\n"
  "built from Debian's source packages.\n"
  "font.bin holds the 256 glyphs of code page 437 that Debian's ansilove draws in\n"
  "its default font, which is libansilove's (Debian package libansilove1 ${FONT_VERSION});\n"
  "the web build reads them back from a picture that ansilove draws.\n"
  "quixmag.wasm and player.wasm contain the C and C++ run-time libraries of\n"
  "emscripten (musl, libc++, libc++abi), as Debian's emscripten package ships them.\n"
  "Their Debian copyright files follow.\n\n"
  "${rule}\nlibopenmpt (Debian source package libopenmpt, debian/copyright)\n${rule}\n\n"
  "${openmpt_text}\n"
  "${zip_sections}"
  "${rule}\nlibansilove (Debian package libansilove1, copyright; the paragraphs of its\n"
  "packaging and of its compatibility source, which the font does not come from, left out)\n${rule}\n\n"
  "${font_text}\n"
  "${rule}\nemscripten (Debian package emscripten, copyright; the paragraphs of\n"
  "files of its test suite alone, which no program of the site holds, left out)\n${rule}\n\n"
  "${emscripten_text}")
