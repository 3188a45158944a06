// The content, embedded in the executable as named resources, and
// the ways screens are taken out of it and shown.
#pragma once

#include <string>

#include "sys/resources.h"

// Writes the resource's bytes to FileName, a file of the working folder,
// replacing the file. A missing resource or a file that cannot be written
// ends the program with an error.
void ExtractResource(const std::string& Name, const std::string& FileName);

// Draws one screen resource through "tmp.ans" in the working folder.
void ShowResourceScreen(const std::string& Name);
// The same where the program is leaving anyway: a screen that cannot be
// written (a full disk) is skipped; answers whether it was drawn.
bool ShowResourceScreenIfWritable(const std::string& Name);
void ShowLogo();
void ShowHelpScreen();
