// Draws screen resources of the issue on the memory console, as the program
// draws them, and prints every cell: what the web page's canvas must show for
// the same screens. One JSON object per line:
//   {"name": NAME, "chars": [25 rows of 80 bytes], "attrs": [25 rows of 80]}
//
//   screen_cells NAME...
#include <cstdio>
#include <string>

#include "app/program.h"
#include "app/resources.h"
#include "sys/workfiles.h"
#include "console/con_memory.h"
#include "console/m_Console.h"

namespace {

void PrintRows(const char* key, bool chars) {
    std::printf("\"%s\": [", key);
    for (int y = 0; y < 25; ++y) {
        std::printf(y ? ", [" : "[");
        for (int x = 0; x < 80; ++x) {
            const conapi::Cell cell = memcon::CellAt(x, y);
            std::printf(x ? ", %d" : "%d", chars ? cell.Char & 0xFF : cell.Attr & 0xFF);
        }
        std::printf("]");
    }
    std::printf("]");
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    issue::Issue builtIn;
    if (!builtIn.TakeBuiltIn(error) || !OpenWorkFolder(error)) {
        std::fprintf(stderr, "screen_cells: %s\n", error.c_str());
        return 1;
    }
    for (int i = 1; i < argc; ++i) {
        memcon::Reset();
        InitConsole();
        ClearScreen();
        ShowResourceScreen(builtIn, argv[i]);
        std::printf("{\"name\": \"%s\", ", argv[i]);
        PrintRows("chars", true);
        std::printf(", ");
        PrintRows("attrs", false);
        std::printf("}\n");
        DoneConsole();
    }
    RemoveWorkFolder();
    return 0;
}
