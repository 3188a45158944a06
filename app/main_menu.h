// The main menu, hub of the magazine.
#pragma once

void MainMenu();
