// Runs of a marker character on the screen: where an article's header
// screen marks the fields the program writes into, found the same way by
// the program and by the checker.
#pragma once

#include <vector>

#include "console/m_Console.h"

// The runs of Marker on the screen, as the header's scan finds them: each
// run's column, row, the attribute of its first cell and its length (in a
// TCoord's X, Y, Width and Height), row after row.
std::vector<TCoord> FindMarkerRuns(char marker);

