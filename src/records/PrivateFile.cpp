#include "PrivateFile.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace talvane {

std::optional<PrivateFile> PrivateFile::Open(const std::filesystem::path& path, int flags) {
    constexpr mode_t PrivateMode = 0600;
    UniqueFd fd(open(path.c_str(), flags | O_CREAT | O_NOFOLLOW | O_CLOEXEC, PrivateMode));
    struct stat status {};
    if (!fd || fstat(fd.Get(), &status) != 0)
        return std::nullopt;
    // The mode given to open does not apply to a file that already exists.
    if ((status.st_mode & 07777) != PrivateMode && fchmod(fd.Get(), PrivateMode) != 0)
        return std::nullopt;
    return PrivateFile{std::move(fd), status.st_size};
}

} // namespace talvane
