# Writes the site's licence notices: the project's LICENSE when there is one,
# then the Debian copyright files of libopenmpt (in the worklet's player) and
# of the console font the screen's glyphs come from.
#   cmake -DOUT=THIRD-PARTY.txt -DSOURCE=<checkout> -DOPENMPT=<file> -DFONT=<file> -P WebNotices.cmake
get_filename_component(SITE "${OUT}" DIRECTORY)
if(EXISTS "${SOURCE}/LICENSE")
  file(COPY "${SOURCE}/LICENSE" DESTINATION "${SITE}")
endif()
file(READ "${OPENMPT}" openmpt_text)
file(READ "${FONT}" font_text)
set(rule "================================================================================")
file(WRITE "${OUT}"
  "Third-party parts of the quix magazine web edition\n\n"
  "quixmag.wasm carries no third-party code beyond the C++ run-time of emscripten.\n"
  "player.wasm is libopenmpt 0.6.9, built from Debian's source package.\n"
  "font.bin holds the glyphs of default8x16 from Debian's console-data package.\n"
  "Their Debian copyright files follow.\n\n"
  "${rule}\nlibopenmpt (Debian source package libopenmpt, debian/copyright)\n${rule}\n\n"
  "${openmpt_text}\n"
  "${rule}\nconsole-data (Debian package console-data, copyright)\n${rule}\n\n"
  "${font_text}")
