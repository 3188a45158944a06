// The open issue's content (issue/issue.h) and the ways screens are taken
// out of it and shown. Screens and texts are drawn straight from memory;
// only what must be a file (the sound library and the module) is written
// out, into the working folder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "issue/issue.h"
#include "sys/resources.h"

// Writes the resource's bytes to FileName, a file of the working folder,
// replacing the file: a file of Issue, or what the executable itself carries
// (the sound library). A missing resource or a file that cannot be written
// ends the program with an error.
void ExtractResource(const issue::Issue& Issue, const std::string& Name, const std::string& FileName);

// The bytes of the file Name of Issue; a missing one ends the program with
// an error (every issue is checked for the names the program asks for when
// it is opened).
std::string_view ResourceContent(const issue::Issue& Issue, const std::string& Name);

// Draws one screen of Issue on a cleared screen, paced by DisplaySpeed.
void ShowResourceScreen(const issue::Issue& Issue, const std::string& Name);
void ShowLogo(const issue::Issue& Issue);
void ShowHelpScreen(const issue::Issue& Issue);

// Draws CurrentScreenFile, the screen of the menu in use, again from the
// cursor (nothing when no menu has set one).
void ShowCurrentScreen(const issue::Issue& Issue, int32_t PauseInterval);
