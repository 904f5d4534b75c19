#include "PrivateFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace talvane {

// A file made new, as every record of a fresh session is, needs no look at what was there before.
std::optional<PrivateFile> PrivateFile::Open(int folder, const char* name, int flags) {
    constexpr mode_t PrivateMode = 0600;
    const int openFlags = flags | O_CREAT | O_NOFOLLOW | O_CLOEXEC;
    UniqueFd fd(openat(folder, name, openFlags | O_EXCL, PrivateMode));
    if (fd)
        return PrivateFile{std::move(fd), 0};
    if (errno != EEXIST)
        return std::nullopt;
    fd = UniqueFd(openat(folder, name, openFlags, PrivateMode));
    struct stat status {};
    if (!fd || fstat(fd.Get(), &status) != 0)
        return std::nullopt;
    // The mode given to open does not apply to a file that already exists.
    if ((status.st_mode & 07777) != PrivateMode && fchmod(fd.Get(), PrivateMode) != 0)
        return std::nullopt;
    return PrivateFile{std::move(fd), status.st_size};
}

std::optional<PrivateFile> PrivateFile::Open(const std::filesystem::path& path, int flags) {
    return Open(AT_FDCWD, path.c_str(), flags);
}

} // namespace talvane
