# The web edition's browser tests, run from the native build: headless
# Chromium and headless Firefox each drive the site that the web build wrote
# (tools/setup.sh --web), and the memory console says what three of its
# screens must show.
#   -DQUIX_WEB_SITE=<build-web/site>  registers the tests
set(QUIX_WEB_SITE "" CACHE PATH "The web edition's site folder, for its browser tests")
add_executable(screen_cells tests/web/screen_cells.cpp)
target_link_libraries(screen_cells PRIVATE quix_app con_memory quixres termcore)
if(QUIX_WEB_SITE)
  # Each test in each browser: the magazine at a desktop (test_web.py), and
  # on a phone, by touch, by address and for assistive technology
  # (test_readers.py).
  foreach(browser chromium firefox)
    foreach(script web readers)
      if(script STREQUAL "web")
        set(name web_${browser})
      else()
        set(name web_${script}_${browser})
      endif()
      add_test(NAME ${name} COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tests/web/test_${script}.py
        --browser ${browser})
      # One browser at a time: their figures are not each other's load.
      set_tests_properties(${name} PROPERTIES TIMEOUT 300 RESOURCE_LOCK web_browser ENVIRONMENT
        "QUIX_WEB_SITE=${QUIX_WEB_SITE};SCREEN_CELLS=$<TARGET_FILE:screen_cells>;QUIX_CONTENT=${ISSUE_DIR}")
    endforeach()
  endforeach()
  # The site over a slow line, served gzipped: the logo before the music,
  # the first track heard; no music said where there can be none.
  add_test(NAME web_slow_line COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tests/web/test_web_slow.py)
  set_tests_properties(web_slow_line PROPERTIES TIMEOUT 300 RESOURCE_LOCK web_browser ENVIRONMENT
    "QUIX_WEB_SITE=${QUIX_WEB_SITE}")
  # The site's player under node: the formats it keeps play, a cut one is refused.
  add_test(NAME web_player COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tests/web/test_player.py)
  set_tests_properties(web_player PROPERTIES TIMEOUT 120 ENVIRONMENT "QUIX_WEB_SITE=${QUIX_WEB_SITE}")
  # The site read with its server stopped, from what its service worker
  # kept, and a new version of it taking over (Chromium: its DevTools say
  # what the browser keeps and whether it would install the magazine).
  add_test(NAME web_offline COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tests/web/test_offline.py)
  set_tests_properties(web_offline PROPERTIES TIMEOUT 300 RESOURCE_LOCK web_browser ENVIRONMENT
    "QUIX_WEB_SITE=${QUIX_WEB_SITE};SCREEN_CELLS=$<TARGET_FILE:screen_cells>;CMAKE=${CMAKE_COMMAND}")
  add_test(NAME web_offline_firefox COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tests/web/test_offline.py
    --browser firefox)
  set_tests_properties(web_offline_firefox PROPERTIES TIMEOUT 300 RESOURCE_LOCK web_browser ENVIRONMENT
    "QUIX_WEB_SITE=${QUIX_WEB_SITE};SCREEN_CELLS=$<TARGET_FILE:screen_cells>")
endif()
# An editor's web edition: the sample issue packed from this build's web
# runner (-DQUIX_WEB_RUNNER) and served from the folder it was written to.
if(QUIX_WEB_RUNNER AND QUIX_WEB_SITE)
  # The sample issue's pieces that carry their look, packed the same way,
  # against Debian's ansilove.
  foreach(browser chromium firefox)
    add_test(NAME web_pieces_${browser} COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tests/web/test_pieces.py
      --browser ${browser})
    set_tests_properties(web_pieces_${browser} PROPERTIES TIMEOUT 300 RESOURCE_LOCK web_browser ENVIRONMENT
      "QUIXMAG=$<TARGET_FILE:quixmag>;SAMPLE_ISSUE=${CMAKE_CURRENT_SOURCE_DIR}/tests/sample-issue;QUIX_WEB_SITE=${QUIX_WEB_SITE};SCREEN_CELLS=$<TARGET_FILE:screen_cells>")
    # A piece of each format, against ansilove's picture of the same file.
    add_test(NAME web_formats_${browser} COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tests/web/test_formats.py
      --browser ${browser})
    set_tests_properties(web_formats_${browser} PROPERTIES TIMEOUT 300 RESOURCE_LOCK web_browser ENVIRONMENT
      "QUIXMAG=$<TARGET_FILE:quixmag>;QUIX_WEB_SITE=${QUIX_WEB_SITE};SCREEN_CELLS=$<TARGET_FILE:screen_cells>")
  endforeach()
  # A magazine of many issues, packed from the runner: the newest first,
  # each issue fetched when read and kept offline once read; and a site of
  # 12 issues over the slow line, against a site of one.
  add_test(NAME web_magazine COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tests/web/test_web_magazine.py
    TwoIssues)
  add_test(NAME web_magazine_slow_line COMMAND /usr/bin/python3
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/web/test_web_magazine.py TwelveIssuesOverASlowLine)
  set_tests_properties(web_magazine web_magazine_slow_line PROPERTIES TIMEOUT 600 RESOURCE_LOCK web_browser
    ENVIRONMENT "QUIXMAG=$<TARGET_FILE:quixmag>;QUIX_WEB_SITE=${QUIX_WEB_SITE}")
  # The slow line's first cell is timed: nothing else (the door's callers
  # beside the rest) runs while it is measured.
  set_tests_properties(web_magazine_slow_line PROPERTIES RUN_SERIAL TRUE)
endif()
if(QUIX_WEB_RUNNER)
  add_test(NAME web_edition COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/tests/web/test_web_edition.py)
  set_tests_properties(web_edition PROPERTIES TIMEOUT 200 ENVIRONMENT
    "QUIXMAG=$<TARGET_FILE:quixmag>;SAMPLE_ISSUE=${CMAKE_CURRENT_SOURCE_DIR}/tests/sample-issue")
endif()
