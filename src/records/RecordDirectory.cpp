#include "RecordDirectory.h"

#include "base/UniqueDir.h"
#include "base/UniqueFd.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace talvane {

namespace {

constexpr const char* SharedFolderName = "talvane";
constexpr mode_t PrivateMode = 0700;
constexpr int FolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// How many copies of the same process id, each in a PID namespace of its own, may keep records
// side by side.
constexpr int MaximumCount = 16;

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

void RemoveEntries(int folder);

// Removes the folder name inside parent with everything in it. A link inside is removed itself,
// never what it points to.
void RemoveFolder(int parent, const std::string& name) {
    const UniqueFd folder(openat(parent, name.c_str(), FolderFlags));
    if (!folder)
        return;
    RemoveEntries(folder.Get());
    unlinkat(parent, name.c_str(), AT_REMOVEDIR);
}

void RemoveEntries(int folder) {
    for (const std::string& entry : EntryNames(folder)) {
        if (unlinkat(folder, entry.c_str(), 0) != 0 && errno == EISDIR)
            RemoveFolder(folder, entry);
    }
}

// The decimal text of a positive number as to_string writes it: no sign, no leading zero.
bool IsPositiveNumber(std::string_view text) {
    unsigned long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end && value > 0 && std::to_string(value) == text;
}

// The names this class gives: the process id, with a count behind it where another copy holds
// that name.
bool IsRecordFolderName(std::string_view name) {
    const std::size_t dash = name.find('-');
    return IsPositiveNumber(name.substr(0, dash)) &&
           (dash == std::string_view::npos || IsPositiveNumber(name.substr(dash + 1)));
}

// Every running copy holds the lock of its own folder until it ends, whatever PID namespace it
// runs in: a folder whose lock can be taken was left by a copy that ended, and is removed while
// the lock is held. Other users' folders and anything but the names given stay.
void RemoveIfAbandoned(int shared, const std::string& name) {
    if (!IsRecordFolderName(name))
        return;
    const UniqueFd folder(openat(shared, name.c_str(), FolderFlags));
    struct stat status {};
    if (!folder || fstat(folder.Get(), &status) != 0 || status.st_uid != geteuid() ||
        flock(folder.Get(), LOCK_EX | LOCK_NB) != 0)
        return;
    RemoveEntries(folder.Get());
    unlinkat(shared, name.c_str(), AT_REMOVEDIR);
}

// Whether folder, now locked, is still the one at name: another copy's start may have found it
// before it was locked and removed it.
bool StillAt(int shared, const char* name, int folder) {
    struct stat atName {};
    struct stat opened {};
    return fstatat(shared, name, &atName, AT_SYMLINK_NOFOLLOW) == 0 &&
           fstat(folder, &opened) == 0 && atName.st_dev == opened.st_dev &&
           atName.st_ino == opened.st_ino;
}

} // namespace

RecordDirectory::RecordDirectory(const std::filesystem::path& runtimeDirectory, pid_t pid)
    : runtimeDirectory(runtimeDirectory), pidName(std::to_string(pid)), name(pidName),
      path(runtimeDirectory / SharedFolderName / pidName) {}

RecordDirectory::Preparation RecordDirectory::Prepare() {
    lock = UniqueFd();
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
    for (const std::string& entry : EntryNames(shared.Get()))
        RemoveIfAbandoned(shared.Get(), entry);
    // A copy in another PID namespace may run with the same id and hold its folder: the next
    // free count then names this one.
    for (int count = 0; count <= MaximumCount; ++count) {
        name = count == 0 ? pidName : pidName + "-" + std::to_string(count);
        path = sharedPath / name;
        // Record files are later opened by path: once both folders are this user's and private,
        // no one else can put a link on that path.
        UniqueFd folder = OpenPrivateFolder(shared.Get(), name.c_str(), true, why);
        if (!folder)
            return {why, path};
        if (flock(folder.Get(), LOCK_EX | LOCK_NB) == 0 &&
            StillAt(shared.Get(), name.c_str(), folder.Get())) {
            lock = std::move(folder);
            return {Outcome::Ready, {}};
        }
    }
    return {Outcome::Unwritable, path};
}

void RecordDirectory::Remove() const {
    if (!lock)
        return;
    const UniqueFd runtime(open(runtimeDirectory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!runtime)
        return;
    Outcome why = Outcome::Ready;
    const UniqueFd shared = OpenPrivateFolder(runtime.Get(), SharedFolderName, false, why);
    if (shared)
        RemoveFolder(shared.Get(), name);
}

} // namespace talvane
