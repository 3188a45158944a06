#include "ansi/marker_runs.h"

std::vector<TCoord> FindMarkerRuns(char marker) {
    std::vector<TCoord> runs;
    bool inRun = false;
    // The run goes on across the end of a row: a run reaching column 80
    // continues at column 1 of the next row.
    for (int row = 1; row <= 25; ++row)
        for (int col = 1; col <= 80; ++col) {
            if (CharAt(col, row) != marker) {
                inRun = false;
                continue;
            }
            if (inRun)
                ++runs.back().Height;
            else
                runs.push_back(TCoord{static_cast<Byte>(col), static_cast<Byte>(row), AttrAt(col, row), 1});
            inRun = true;
        }
    return runs;
}

