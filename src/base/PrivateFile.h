#pragma once

#include "UniqueFd.h"

#include <filesystem>
#include <optional>
#include <sys/types.h>

namespace talvane {

// A file in the record folder: it holds captured bytes, so only its user may read or write it,
// and a symbolic link at its path is never followed, so they go nowhere else.
struct PrivateFile {
    UniqueFd fd;
    // What the file held when it was opened.
    off_t size = 0;

    // Opens or creates the file with open's flags beside O_CREAT, O_NOFOLLOW and O_CLOEXEC, and
    // makes an existing file private again; nullopt when either fails. The name is looked up in
    // the folder open as descriptor folder, as openat does.
    static std::optional<PrivateFile> Open(int folder, const char* name, int flags);
    static std::optional<PrivateFile> Open(const std::filesystem::path& path, int flags);
};

} // namespace talvane
