#include "UniqueDir.h"

namespace talvane {

void CloseDir::operator()(DIR* directory) const {
    closedir(directory);
}

UniqueDir OpenDir(const char* path) {
    return UniqueDir(opendir(path));
}

UniqueDir OpenDir(UniqueFd folder) {
    UniqueDir stream(fdopendir(folder.Get()));
    if (stream)
        folder.Release();
    return stream;
}

} // namespace talvane
