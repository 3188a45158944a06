// The name of a file the reader saves, as the system spells it.
#pragma once

#include <string>

// Typed is a name (or a path) typed on the PC screen, in code page 437. Name
// becomes that name in the system's encoding of file names: UTF-8 where the
// reader's locale is UTF-8, plain ASCII (C, POSIX) or unknown, and in the
// browser; the locale's own character set where it has another one; the
// program's code page on Windows. Answers false with a short reason in
// Error when that character set cannot hold the name.
bool SystemFileName(const std::string& Typed, std::string& Name, std::string& Error);
