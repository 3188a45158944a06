# The web edition: the magazine compiled to WebAssembly with Debian's
# emscripten (emcmake cmake ...), and the static site around it.
#
#   QUIX_WEB_DEPS   the output of tools/web_deps.sh: libopenmpt for the
#                   worklet's player, zlib and minizip, and their licence texts
#
# The screen's font is read at build time from what Debian's ansilove draws
# (tools/make_web_font.py), so that the page draws every glyph as that
# renderer does.
#
# The site goes to QUIX_WEB_SITE_DIR, by default ${CMAKE_BINARY_DIR}/site (target "site"): the page, its
# scripts, the program's .js/.wasm, the worklet's player, the font, the
# icons, the web app manifest, the service worker that keeps the site for
# reading offline, and the licence with the third-party notices.

set(QUIX_WEB_DEPS "" CACHE PATH "Prefix of the web libraries built by tools/web_deps.sh")
if(NOT EXISTS "${QUIX_WEB_DEPS}/lib/libopenmpt.a")
  message(FATAL_ERROR "QUIX_WEB_DEPS must name the output of tools/web_deps.sh")
endif()
find_program(QUIX_ANSILOVE ansilove PATHS /usr/bin NO_CMAKE_FIND_ROOT_PATH REQUIRED)
# The glyphs ansilove draws are those of its library: the site's notices
# carry that package's copyright file and version.
set(QUIX_WEB_FONT_COPYRIGHT /usr/share/doc/libansilove1/copyright CACHE FILEPATH
  "The copyright file of the library whose glyphs ansilove draws")
if(NOT EXISTS "${QUIX_WEB_FONT_COPYRIGHT}")
  message(FATAL_ERROR "${QUIX_WEB_FONT_COPYRIGHT} is missing (install ansilove)")
endif()
execute_process(COMMAND dpkg-query -W -f=\${Version} libansilove1
  OUTPUT_VARIABLE ANSILOVE_LIBRARY_VERSION OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE version_result)
if(NOT version_result EQUAL 0)
  set(ANSILOVE_LIBRARY_VERSION "as installed")
endif()

# --- Tools that run during the build: programs of the build machine -----------
set(QUIX_HOST_CXX c++ CACHE STRING "The build machine's C++ compiler, for tools run during the build")
set(HOST_TOOLS ${CMAKE_CURRENT_BINARY_DIR}/host)
file(MAKE_DIRECTORY ${HOST_TOOLS})
set(HOST_SOURCES_make_issue_tables tools/make_issue_tables.cpp issue/manifest.cpp issue/sections.cpp)
set(HOST_SOURCES_embed_resources tools/embed_resources.cpp)
set(HOST_SOURCES_site_track tools/site_track.cpp issue/site_tracks.cpp)
foreach(tool make_issue_tables embed_resources site_track)
  list(TRANSFORM HOST_SOURCES_${tool} PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/ OUTPUT_VARIABLE sources)
  if(tool STREQUAL make_issue_tables)
    list(APPEND sources ${QUIX_SECTION_TABLE_SOURCE})
  endif()
  execute_process(
    COMMAND ${QUIX_HOST_CXX} -std=c++20 -O1 -I${CMAKE_CURRENT_SOURCE_DIR} ${sources} -o ${HOST_TOOLS}/${tool}
    RESULT_VARIABLE host_tool_result)
  if(NOT host_tool_result EQUAL 0)
    message(FATAL_ERROR "cannot build ${tool} with ${QUIX_HOST_CXX} (install g++ and libtomlplusplus-dev)")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${sources})
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/issue/manifest.h
  ${CMAKE_CURRENT_SOURCE_DIR}/issue/layout.h)

# --- The issue ----------------------------------------------------------------------
set(QUIX_ISSUE "${CMAKE_CURRENT_SOURCE_DIR}/content" CACHE PATH
  "Issue folder to embed in the magazine (its files and its manifest issue.toml)")
# A relative folder is the one the editor named from where cmake was started.
set(issue_base "$ENV{PWD}")
if(NOT issue_base)
  set(issue_base "${CMAKE_CURRENT_SOURCE_DIR}")
endif()
get_filename_component(ISSUE_DIR "${QUIX_ISSUE}" ABSOLUTE BASE_DIR "${issue_base}")
file(GLOB CONTENT_FILES CONFIGURE_DEPENDS ${ISSUE_DIR}/*)

# The manifest is checked before the folder is embedded.
set(ISSUE_STAMP ${CMAKE_CURRENT_BINARY_DIR}/issue-checked.txt)
add_custom_command(OUTPUT ${ISSUE_STAMP}
  COMMAND ${HOST_TOOLS}/make_issue_tables ${ISSUE_STAMP} ${ISSUE_DIR}
  DEPENDS ${ISSUE_DIR}/issue.toml ${CONTENT_FILES}
  COMMENT "Reading the issue's manifest")
# The page's sound library is linked into the program (sys/sys_web.cpp);
# the program still writes its resource out before it "loads" it, so a
# short note stands in for the library's file.
set(SOUNDLIB_NOTE ${CMAKE_CURRENT_BINARY_DIR}/soundlib-linked.txt)
file(WRITE ${SOUNDLIB_NOTE} "The web edition's sound library is linked into the program.\n")
# The music modules are most of the issue's bytes: the site keeps them beside
# the page, in its folder tracks/, and the program carries in each one's
# place the note that names the file (issue/site_tracks.cpp reads it; the
# text here is the one its TrackNote writes). The site's file holds the
# module's bytes in the planes that TrackPlanes writes. The page fetches a module
# when its track is asked for, so that the first screen does not wait for
# the music. A name that a URL would not carry plainly stays built in.
set(EMBEDDED_FILES "")
set(TRACK_FILES "")
set(TRACK_NOTES ${CMAKE_CURRENT_BINARY_DIR}/track-notes)
file(MAKE_DIRECTORY ${TRACK_NOTES})
foreach(file ${CONTENT_FILES})
  get_filename_component(name "${file}" NAME)
  get_filename_component(stem "${file}" NAME_WLE)
  string(TOLOWER "${name}" lower)
  if(lower MATCHES "\\.(xm|mod|s3m|it)$" AND name MATCHES "^[A-Za-z0-9_][A-Za-z0-9._-]*$")
    file(WRITE ${TRACK_NOTES}/${stem}.txt "quixmag track beside the page: tracks/${name}\n")
    list(APPEND EMBEDDED_FILES "${stem}=${TRACK_NOTES}/${stem}.txt")
    add_custom_command(OUTPUT ${TRACK_NOTES}/site/${name}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${TRACK_NOTES}/site
      COMMAND ${HOST_TOOLS}/site_track ${file} ${TRACK_NOTES}/site/${name}
      DEPENDS ${file}
      COMMENT "Writing ${name} as the site keeps it")
    list(APPEND TRACK_FILES "${TRACK_NOTES}/site/${name}")
  else()
    list(APPEND EMBEDDED_FILES "${file}")
  endif()
endforeach()
set(RESOURCE_SOURCE ${CMAKE_CURRENT_BINARY_DIR}/resources_data.cpp)
add_custom_command(OUTPUT ${RESOURCE_SOURCE}
  COMMAND ${HOST_TOOLS}/embed_resources --wasm ${RESOURCE_SOURCE} ${EMBEDDED_FILES} SOUNDLIB=${SOUNDLIB_NOTE}
  DEPENDS ${CONTENT_FILES} ${ISSUE_STAMP}
  COMMENT "Embedding the issue's content")

# --- The program --------------------------------------------------------------------
# Every layer's sources, with the web's own platform source in sys/ and the
# web console; the layers' libraries of the native build are not needed here.
file(GLOB WEB_CORE_SOURCES CONFIGURE_DEPENDS
  sys/*.cpp issue/*.cpp console/m_*.cpp ansi/*.cpp widgets/*.cpp viewer/*.cpp app/*.cpp music/music.cpp
  console/term_cells.cpp console/cp437.cpp console/term_keys.cpp console/palette.cpp)
list(FILTER WEB_CORE_SOURCES EXCLUDE REGEX "sys/(sys_posix|sys_win32|fault_counter)\\.cpp$")
# The content rules are the checker's, drawn on the memory console.
list(FILTER WEB_CORE_SOURCES EXCLUDE REGEX "_rules\\.cpp$")
add_executable(quixmag ${WEB_CORE_SOURCES} console/con_web.cpp console/web_keys.cpp music/soundlib_web.cpp
  ${RESOURCE_SOURCE} ${QUIX_SECTION_TABLE_SOURCE})
target_include_directories(quixmag PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
# The manifest's TOML parser (its headers alone) and the packs' zip library.
find_path(TOMLPP_INCLUDE_DIR toml++/toml.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(TOMLPP_ONLY ${CMAKE_CURRENT_BINARY_DIR}/tomlpp)
file(MAKE_DIRECTORY ${TOMLPP_ONLY})
file(CREATE_LINK ${TOMLPP_INCLUDE_DIR}/toml++ ${TOMLPP_ONLY}/toml++ SYMBOLIC)
target_include_directories(quixmag SYSTEM PRIVATE ${TOMLPP_ONLY} ${QUIX_WEB_DEPS}/include)
target_link_libraries(quixmag PRIVATE ${QUIX_WEB_DEPS}/lib/libminizip.a ${QUIX_WEB_DEPS}/lib/libz.a)
target_compile_options(quixmag PRIVATE -Oz -flto)
# The resources are bytes of the assembler's, not bitcode: outside LTO.
set_source_files_properties(${RESOURCE_SOURCE} PROPERTIES COMPILE_OPTIONS -fno-lto)
# ASYNCIFY turns the console's waits into yields to the browser; the
# program's stack is unwound through them, so its own stack must fit.
# ASYNCIFY_REMOVE names code that is never on the stack while the program
# waits, which ASYNCIFY then leaves as it is (about a tenth of the
# program's bytes): the issue's layer, below the console, cannot wait, nor
# can the TOML parser, the zip reader and zlib's inflate it calls; and the
# C++ library's strings, streams, locales and file system call no code of
# the program's. A function named here that did wait would break the run
# at once, in every browser test.
set(NEVER_WAITS toml::* issue::* unz* inflate* std::__2::basic_* std::__2::locale* std::__2::num_*
  std::__2::__num_* std::__2::money_* std::__2::__money_* std::__2::time_* std::__2::__time_* std::__2::ctype*
  std::__2::codecvt* std::__2::ios_base* std::__2::__fs::*)
list(TRANSFORM NEVER_WAITS REPLACE "(.+)" "'\\1'")
list(JOIN NEVER_WAITS "," NEVER_WAITS)
target_link_options(quixmag PRIVATE -Oz -flto -sMALLOC=emmalloc -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536
  "-sASYNCIFY_REMOVE=[${NEVER_WAITS}]"
  -sALLOW_MEMORY_GROWTH -sEXIT_RUNTIME -sENVIRONMENT=web -sINVOKE_RUN=0
  "-sEXPORTED_RUNTIME_METHODS=['callMain','FS']"
  -sFILESYSTEM=1)

# --- The worklet's player: libopenmpt as a WebAssembly module of its own -------------
add_executable(player music/worklet_player.cpp)
target_include_directories(player PRIVATE ${QUIX_WEB_DEPS}/include)
target_compile_options(player PRIVATE -Oz)
target_link_options(player PRIVATE -Oz -flto -sMALLOC=emmalloc -sSTANDALONE_WASM --no-entry -sALLOW_MEMORY_GROWTH
  "-sEXPORTED_FUNCTIONS=['_player_alloc','_player_release','_player_load','_player_unload','_player_render']")
target_link_libraries(player PRIVATE ${QUIX_WEB_DEPS}/lib/libopenmpt.a)
set_target_properties(player PROPERTIES SUFFIX ".wasm")

# --- The font --------------------------------------------------------------------------
set(FONT_FILE ${CMAKE_CURRENT_BINARY_DIR}/font.bin)
add_custom_command(OUTPUT ${FONT_FILE}
  COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/tools/make_web_font.py ${FONT_FILE} ${QUIX_ANSILOVE}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tools/make_web_font.py ${QUIX_ANSILOVE} ${QUIX_WEB_FONT_COPYRIGHT}
  COMMENT "Reading the screen font's 256 glyphs from what ansilove draws")

# --- The icons: the page's favicon and the installed magazine's, drawn from the font ----
# Made at build time from the font above, which is itself read here from
# what ansilove draws: the icons follow it, and no picture is kept in the tree.
set(ICON_DIR ${CMAKE_CURRENT_BINARY_DIR}/icons)
set(ICON_FILES ${ICON_DIR}/favicon.ico ${ICON_DIR}/icon-192.png ${ICON_DIR}/icon-512.png
  ${ICON_DIR}/icon-maskable-512.png)
add_custom_command(OUTPUT ${ICON_FILES}
  COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/tools/make_icons.py ${FONT_FILE} ${ICON_DIR}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tools/make_icons.py ${FONT_FILE}
  COMMENT "Drawing the icons")

# --- The site --------------------------------------------------------------------------
set(QUIX_WEB_SITE_DIR ${CMAKE_CURRENT_BINARY_DIR}/site CACHE PATH "Where the site is written")
set(SITE_DIR ${QUIX_WEB_SITE_DIR})
set(PAGE_FILES web/index.html web/page.js web/audio.js web/worklet.js web/offline.js web/app.webmanifest)
list(TRANSFORM PAGE_FILES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
set(THIRD_PARTY ${SITE_DIR}/THIRD-PARTY.txt)
add_custom_target(site ALL
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${SITE_DIR}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${SITE_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${PAGE_FILES} ${SITE_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:quixmag> $<TARGET_FILE_DIR:quixmag>/quixmag.wasm
          $<TARGET_FILE:player> ${FONT_FILE} ${ICON_FILES} ${SITE_DIR}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${SITE_DIR}/tracks
  COMMAND ${CMAKE_COMMAND} -E copy ${TRACK_FILES} ${SITE_DIR}/tracks
  COMMAND ${CMAKE_COMMAND} -DOUT=${THIRD_PARTY} -DSOURCE=${CMAKE_CURRENT_SOURCE_DIR}
          -DOPENMPT=${QUIX_WEB_DEPS}/share/doc/libopenmpt/copyright
          -DFONT=${QUIX_WEB_FONT_COPYRIGHT} "-DFONT_VERSION=${ANSILOVE_LIBRARY_VERSION}"
          -DEMSCRIPTEN=/usr/share/doc/emscripten/copyright
          -DZIP_LIBRARIES=${QUIX_WEB_DEPS}
          -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/WebNotices.cmake
  DEPENDS quixmag player ${FONT_FILE} ${ICON_FILES} ${PAGE_FILES} ${TRACK_FILES} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/WebNotices.cmake
          ${CMAKE_CURRENT_SOURCE_DIR}/tools/copyright_for_build.py
  COMMENT "Writing the site to ${SITE_DIR}"
  VERBATIM)
# The service worker, with every file of the site listed and the site's
# version, is written after all of the site's other commands have run.
add_custom_command(TARGET site POST_BUILD
  COMMAND ${CMAKE_COMMAND} -DSITE=${SITE_DIR} -DWORKER=${CMAKE_CURRENT_SOURCE_DIR}/web/sw.js
          -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/WebOffline.cmake
  VERBATIM)
