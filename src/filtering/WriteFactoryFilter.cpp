// Build tool: writes filters/default.ft, the factory settings that the filter dialog restores,
// with the program's own settings codec.

#include "filtering/FilterFile.h"

#include <cstdio>

int main(int argc, char** argv) {
    using namespace talvane;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s default.ft\n", argv[0]);
        return 2;
    }
    FilterSettings factory;
    // Broadcasts are the noise of every network; the rest starts open.
    factory.filterBroadcast = 1;
    if (!FilterFile::Save(argv[1], factory)) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
