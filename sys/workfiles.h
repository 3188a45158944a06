// The files the program writes:
//
// - the run's private working folder, where every file the program writes
//   for itself goes (created fresh for each run, mode 0700, each file in it
//   created exclusively, all of it removed on every way out);
// - saves the reader asks for, which replace their target only once the new
//   content is complete and never destroy anything else;
// - the program's own file, so that no save can overwrite it.
//
// The platform's calls are those of sys.h.
#pragma once

#include <cstddef>
#include <string>

#include "sys/sys.h"

// --- The private working folder ---------------------------------------------

// Makes this run's working folder under the user's temporary folder ($TMPDIR,
// else /tmp; the system's temporary path on Windows) and arranges its removal
// at exit. A folder made before is removed first. Answers false with the
// reason in Error when no folder can be made.
bool OpenWorkFolder(std::string& error);

// The working folder with a trailing separator; empty while none is open.
const std::string& WorkFolder();

// The full path of the working file Name (a plain file name).
std::string WorkFile(const std::string& name);

// Writes a working file: whatever stood under that name in the working folder
// is removed, then the file is created exclusively (never through a link) and
// written whole. Path must be a file directly inside the working folder.
// Answers false with the reason in Error; nothing is left behind then.
bool WriteWorkFile(const std::string& path, const void* data, std::size_t size, std::string& error);

// Removes one file of the working folder (a missing one is no error).
void RemoveWorkFile(const std::string& path);

// Removes the working folder with everything in it; nothing when none is
// open. Safe to call more than once.
void RemoveWorkFolder();

// The same for a signal handler or a console-control handler: uses only what
// was prepared before (no allocation, no locks), removes every file the
// program made in the working folder, a save in progress, and the folder.
void RemoveWorkFolderNow() noexcept;

// --- Saves ----------------------------------------------------------------------

// Whether files can be created in Folder (with a trailing separator; empty
// means the current folder): a probe file is made and removed at once.
bool FolderWritable(const std::string& folder);

// Writes Bytes to Path: to a uniquely named file created exclusively beside
// the target, renamed over the target only after the whole write succeeded.
// Refuses the running executable. Answers false with a short reason in Error
// when nothing was saved; an existing target is then left as it was and no
// temporary file remains.
bool WriteFileReplacing(const std::string& path, const std::string& bytes, std::string& error);
