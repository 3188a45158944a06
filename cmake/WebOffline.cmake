# Writes the site's service worker (web/sw.js) into the site with the list
# of every file the site holds and a version made of their names and
# contents, so that the worker caches all of them and a site that differs
# in any byte is a new version, cached afresh. Run last, when every file is
# in place:
#
#   cmake -DSITE=<site folder> -DWORKER=<web/sw.js> -P WebOffline.cmake
#
# quixmag --pack writes the same line for an editor's site (issue/editions.cpp).

file(GLOB_RECURSE files RELATIVE "${SITE}" "${SITE}/*")
list(REMOVE_ITEM files sw.js)
list(SORT files)
set(listed "")
set(digests "")
foreach(name IN LISTS files)
  file(SHA256 "${SITE}/${name}" digest)
  string(APPEND digests "${name}\n${digest}\n")
  string(REPLACE "\\" "\\\\" quoted "${name}")
  string(REPLACE "\"" "\\\"" quoted "${quoted}")
  if(listed)
    string(APPEND listed ", ")
  endif()
  string(APPEND listed "\"${quoted}\"")
endforeach()
string(SHA256 version "${digests}")
string(SUBSTRING "${version}" 0 16 version)

file(READ "${WORKER}" text)
string(FIND "${text}" "\nconst SITE = " at)
if(at EQUAL -1)
  message(FATAL_ERROR "${WORKER} has no line that starts with 'const SITE = '")
endif()
# The line is replaced by position, so that nothing in the names is read
# as a pattern.
math(EXPR start "${at} + 1")
string(SUBSTRING "${text}" ${start} -1 rest)
string(FIND "${rest}" "\n" length)
string(SUBSTRING "${text}" 0 ${start} before)
string(SUBSTRING "${rest}" ${length} -1 after)
set(text "${before}const SITE = { \"version\": \"${version}\", \"files\": [${listed}] };${after}")
file(WRITE "${SITE}/sw.js" "${text}")
list(LENGTH files count)
message(STATUS "sw.js: ${count} files, version ${version}")
