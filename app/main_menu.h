// The main menu: the sections of the section table, in its order, then its
// exit entry, over the main menu's screen.
#pragma once

struct MagazineRun;

void MainMenu(MagazineRun& run);
