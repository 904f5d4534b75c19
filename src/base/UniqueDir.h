#pragma once

#include "UniqueFd.h"

#include <dirent.h>

#include <memory>

namespace talvane {

struct CloseDir {
    void operator()(DIR* directory) const;
};

// A directory stream, closed when its owner goes.
using UniqueDir = std::unique_ptr<DIR, CloseDir>;

UniqueDir OpenDir(const char* path);

// The stream over a folder opened already. The stream takes the descriptor over once it exists;
// when it cannot be made, the descriptor is closed here.
UniqueDir OpenDir(UniqueFd folder);

} // namespace talvane
