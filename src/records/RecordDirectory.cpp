#include "RecordDirectory.h"

#include "capture/UniqueDir.h"
#include "capture/UniqueFd.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace talvane {

namespace {

constexpr const char* SharedFolderName = "talvane";
constexpr mode_t PrivateMode = 0700;
constexpr int FolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

using Outcome = RecordDirectory::Outcome;

// The folder name inside parent, made first when create is set. Opened without following a link,
// and only when it is a directory of this user, which is then made private again: the records
// are never written where a link or another user could lead them. why says what stood in the way.
UniqueFd OpenPrivateFolder(int parent, const char* name, bool create, Outcome& why) {
    if (create)
        mkdirat(parent, name, PrivateMode);
    UniqueFd folder(openat(parent, name, FolderFlags));
    struct stat status {};
    if (!folder) {
        // A link or something other than a directory stands at the name, or nothing could be made.
        struct stat entry {};
        why = fstatat(parent, name, &entry, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(entry.st_mode)
                  ? Outcome::NotAFolder
                  : Outcome::Unwritable;
        return {};
    }
    if (fstat(folder.Get(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        why = Outcome::NotAFolder;
        return {};
    }
    if (status.st_uid != geteuid()) {
        why = Outcome::OtherUsers;
        return {};
    }
    // mkdirat leaves out what the umask masks.
    if ((status.st_mode & 07777) != PrivateMode && fchmod(folder.Get(), PrivateMode) != 0) {
        why = Outcome::Unwritable;
        return {};
    }
    why = Outcome::Ready;
    return folder;
}

std::vector<std::string> EntryNames(int folder) {
    std::vector<std::string> names;
    // The stream takes its own descriptor, so that closing it leaves folder open.
    const UniqueDir stream = OpenDir(UniqueFd(dup(folder)));
    if (!stream)
        return names;
    while (const dirent* entry = readdir(stream.get())) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    return names;
}

// Removes the folder name inside parent with everything in it. A link inside is removed itself,
// never what it points to.
void RemoveFolder(int parent, const std::string& name) {
    const UniqueFd folder(openat(parent, name.c_str(), FolderFlags));
    if (!folder)
        return;
    for (const std::string& entry : EntryNames(folder.Get())) {
        if (unlinkat(folder.Get(), entry.c_str(), 0) != 0 && errno == EISDIR)
            RemoveFolder(folder.Get(), entry);
    }
    unlinkat(parent, name.c_str(), AT_REMOVEDIR);
}

// A folder named after a process id whose process is gone. A process of another user still
// runs (EPERM), and a reused id keeps its folder until that process ends too.
bool LeftByEndedProgram(int shared, const std::string& name) {
    pid_t pid = 0;
    const char* end = name.data() + name.size();
    const auto [stop, error] = std::from_chars(name.data(), end, pid);
    // Only the names this class gives: no sign, no leading zero.
    if (error != std::errc() || stop != end || pid <= 0 || std::to_string(pid) != name)
        return false;
    if (kill(pid, 0) == 0 || errno != ESRCH)
        return false;
    struct stat status {};
    return fstatat(shared, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISDIR(status.st_mode) && status.st_uid == geteuid();
}

} // namespace

RecordDirectory::RecordDirectory(const std::filesystem::path& runtimeDirectory, pid_t pid)
    : runtimeDirectory(runtimeDirectory), pidName(std::to_string(pid)),
      path(runtimeDirectory / SharedFolderName / pidName) {}

RecordDirectory::Preparation RecordDirectory::Prepare() {
    prepared = false;
    if (runtimeDirectory.empty())
        return {Outcome::NotGiven, {}};
    const std::filesystem::path sharedPath = path.parent_path();
    if (!runtimeDirectory.is_absolute())
        return {Outcome::Unwritable, sharedPath};
    const UniqueFd runtime(open(runtimeDirectory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!runtime)
        return {Outcome::Unwritable, sharedPath};
    Outcome why = Outcome::Ready;
    const UniqueFd shared = OpenPrivateFolder(runtime.Get(), SharedFolderName, true, why);
    if (!shared)
        return {why, sharedPath};
    for (const std::string& name : EntryNames(shared.Get())) {
        if (name != pidName && LeftByEndedProgram(shared.Get(), name))
            RemoveFolder(shared.Get(), name);
    }
    // Record files are later opened by path: once both folders are this user's and private, no
    // one else can put a link on that path.
    prepared = static_cast<bool>(OpenPrivateFolder(shared.Get(), pidName.c_str(), true, why));
    return {why, prepared ? std::filesystem::path() : path};
}

void RecordDirectory::Remove() const {
    if (!prepared)
        return;
    const UniqueFd runtime(open(runtimeDirectory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!runtime)
        return;
    Outcome why = Outcome::Ready;
    const UniqueFd shared = OpenPrivateFolder(runtime.Get(), SharedFolderName, false, why);
    if (shared)
        RemoveFolder(shared.Get(), pidName);
}

} // namespace talvane
