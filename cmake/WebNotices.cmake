# Writes the site's licence notices: the project's LICENSE when there is one,
# then the Debian copyright files of libopenmpt (in the worklet's player), of
# the console font the screen's glyphs come from, and of emscripten, whose C
# and C++ run-time libraries are inside both .wasm files.
#   cmake -DOUT=THIRD-PARTY.txt -DSOURCE=<checkout> -DOPENMPT=<file> -DFONT=<file>
#         -DEMSCRIPTEN=<file> -P WebNotices.cmake
get_filename_component(SITE "${OUT}" DIRECTORY)
if(EXISTS "${SOURCE}/LICENSE")
  file(COPY "${SOURCE}/LICENSE" DESTINATION "${SITE}")
endif()
file(READ "${OPENMPT}" openmpt_text)
file(READ "${FONT}" font_text)
file(READ "${EMSCRIPTEN}" emscripten_text)
set(rule "================================================================================")
file(WRITE "${OUT}"
  "Third-party parts of the quix magazine web edition\n\n"
  "player.wasm is libopenmpt 0.6.9, built from Debian's source package.\n"
  "font.bin holds the glyphs of default8x16 from Debian's console-data package.\n"
  "quixmag.wasm and player.wasm contain the C and C++ run-time libraries of\n"
  "emscripten (musl, libc++, libc++abi), as Debian's emscripten package ships them.\n"
  "Their Debian copyright files follow.\n\n"
  "${rule}\nlibopenmpt (Debian source package libopenmpt, debian/copyright)\n${rule}\n\n"
  "${openmpt_text}\n"
  "${rule}\nconsole-data (Debian package console-data, copyright)\n${rule}\n\n"
  "${font_text}\n"
  "${rule}\nemscripten (Debian package emscripten, copyright)\n${rule}\n\n"
  "${emscripten_text}")
