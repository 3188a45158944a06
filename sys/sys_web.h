// What the web edition's sys_web.cpp offers beyond sys.h: a page can load no
// shared library, so the sound library is linked into the program and its
// entry points are registered here under their names; "loading" the library
// then finds them.
#pragma once

namespace sys::web {

// Makes Entry the address LibrarySymbol answers for Name.
void RegisterLinkedEntry(const char* name, void* entry);

}  // namespace sys::web
