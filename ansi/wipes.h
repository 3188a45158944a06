// Animated wipes that blank the screen before a menu backdrop is drawn.
#pragma once

void RandomWipe();
void ColumnWipe();
void InterlaceWipe();
void QuadrantWipe();
