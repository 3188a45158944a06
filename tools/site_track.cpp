// Build-time tool of the web edition: writes a module as the site keeps it
// beside the page (issue/site_tracks.h), the same way quixmag --pack does.
//
//   site_track MODULE OUT
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "issue/site_tracks.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: site_track MODULE OUT\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string module((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.eof() && in.fail()) {
        std::cerr << argv[1] << ": cannot be read\n";
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << issue::TrackPlanes(module);
    out.close();
    if (!out) {
        std::cerr << argv[2] << ": cannot be written\n";
        return 1;
    }
    return 0;
}
