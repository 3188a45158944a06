// What the web edition's sys_web.cpp offers beyond sys.h: a page can load no
// shared library, so the sound library is linked into the program and its
// entry points are registered here under their names; "loading" the library
// then finds them. And a page holds only the files it fetched: a file of the
// site beside the page is fetched into the memory file system when asked for.
#pragma once

#include <string>

namespace sys::web {

// Makes Entry the address LibrarySymbol answers for Name.
void RegisterLinkedEntry(const char* name, void* entry);

// Fetches the site's file Name (a path beside the page, "issues/2.zip") to
// Path in the memory file system, the program waiting meanwhile; the page
// says under the screen that What ("issue #2") is loading. Answers false
// with the page's one line when it did not come.
bool FetchSiteFile(const std::string& name, const std::string& path, const std::string& what, std::string& error);

}  // namespace sys::web
