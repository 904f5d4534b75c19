#include "PortOwnerLookup.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <concepts>
#include <cstring>
#include <new>
#include <string_view>

namespace {

// Every TCP table before every UDP table: a TCP socket wins a port shared with UDP. The IPv6
// tables hold dual-stack sockets, which receive IPv4 too.
constexpr const char* SocketTables[] = {"/proc/net/tcp", "/proc/net/tcp6", "/proc/net/udp",
                                        "/proc/net/udp6"};

constexpr std::string_view SocketPrefix = "socket:[";

// Column of the inode in a /proc/net row, counting "sl" as 0.
constexpr int InodeColumn = 9;

const char* SkipSpaces(const char* at, const char* end) {
    while (at < end && *at == ' ')
        ++at;
    return at;
}

const char* SkipToken(const char* at, const char* end) {
    while (at < end && *at != ' ')
        ++at;
    return at;
}

bool IsDecimal(const char* text) {
    if (*text == '\0')
        return false;
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9')
            return false;
    }
    return true;
}

// A path or link text short enough for the stack: "/proc/<pid>/fd/<fd>", "socket:[<inode>]".
struct ShortText {
    char text[64] = {};
    std::size_t length = 0;
    bool fits = true;

    ShortText& operator<<(std::string_view part) {
        fits = fits && part.size() < sizeof text - length;
        if (fits) {
            std::memcpy(text + length, part.data(), part.size());
            length += part.size();
            text[length] = '\0';
        }
        return *this;
    }

    template <std::integral Number> ShortText& operator<<(Number number) {
        char digits[24];
        const std::to_chars_result result = std::to_chars(digits, digits + sizeof digits, number);
        return *this << std::string_view(digits, std::size_t(result.ptr - digits));
    }
};

// The process still holds the socket at the same descriptor: neither a closed socket nor a
// reused process id can name the wrong program.
bool StillHolds(int pid, int fd, ino_t inode) {
    ShortText path;
    path << "/proc/" << pid << "/fd/" << fd;
    ShortText expected;
    expected << SocketPrefix << inode << "]";
    char link[sizeof expected.text];
    const ssize_t length = path.fits && expected.fits ? readlink(path.text, link, sizeof link) : -1;
    return length >= 0 && std::string_view(link, std::size_t(length)) ==
                              std::string_view(expected.text, expected.length);
}

} // namespace

PortOwnerLookup::PortOwnerLookup(Clock::duration minRebuildInterval)
    : rebuildInterval(minRebuildInterval), buffer(64 * 1024) {}

bool PortOwnerLookup::Lookup(std::uint16_t port, std::string& name) {
    // No socket is listed under port 0: it stands for an empty port text.
    if (port == 0)
        return false;
    try {
        const Clock::time_point now = Clock::now();
        const bool stale = !tablesRead || now - *tablesRead >= TableMaxAge;
        if (stale)
            ReadTables();
        if (NameFirstOwner(port, name))
            return true;
        // The socket may be newer than the snapshot.
        if (!stale && Allowed(tablesRead, now)) {
            ReadTables();
            return NameFirstOwner(port, name);
        }
    } catch (const std::bad_alloc&) {
        // Running out of memory costs this packet its owner's name, never the window.
    }
    return false;
}

bool PortOwnerLookup::NameFirstOwner(std::uint16_t port, std::string& name) {
    auto row = std::lower_bound(tableRows.begin(), tableRows.end(), port,
                                [](const Row& row, std::uint16_t key) { return row.port < key; });
    for (; row != tableRows.end() && row->port == port; ++row) {
        if (NameOwner(row->inode, name))
            return true;
    }
    return false;
}

bool PortOwnerLookup::NameOwner(ino_t inode, std::string& name) {
    auto owner = owners.find(inode);
    if (owner != owners.end() && !StillHolds(owner->second.pid, owner->second.fd, inode)) {
        owners.erase(owner);
        owner = owners.end();
    }
    if (owner == owners.end()) {
        if (!Allowed(ownersScanned, Clock::now()))
            return false;
        ScanOwners();
        owner = owners.find(inode);
        if (owner == owners.end())
            return false;
    }
    if (!ProcessName(owner->second.pid, candidate))
        return false;
    name = candidate;
    return true;
}

bool PortOwnerLookup::Allowed(const std::optional<Clock::time_point>& last,
                              Clock::time_point now) const {
    return !last || now - *last >= rebuildInterval;
}

void PortOwnerLookup::ReadTables() {
    tablesRead = Clock::now();
    tableRows.clear();
    for (const char* table : SocketTables)
        ReadTable(table);
    std::stable_sort(tableRows.begin(), tableRows.end(),
                     [](const Row& left, const Row& right) { return left.port < right.port; });
}

void PortOwnerLookup::ReadTable(const char* path) {
    if (!ReadFile(path))
        return;
    const char* at = buffer.data();
    const char* const end = at + bufferLength;
    // The first line holds the column titles.
    const char* lineEnd = static_cast<const char*>(std::memchr(at, '\n', bufferLength));
    for (at = lineEnd == nullptr ? end : lineEnd + 1; at < end; at = lineEnd + 1) {
        lineEnd = static_cast<const char*>(std::memchr(at, '\n', std::size_t(end - at)));
        if (lineEnd == nullptr)
            lineEnd = end;
        const char* local = SkipSpaces(SkipToken(SkipSpaces(at, lineEnd), lineEnd), lineEnd);
        const char* localEnd = SkipToken(local, lineEnd);
        const char* colon =
            static_cast<const char*>(std::memchr(local, ':', std::size_t(localEnd - local)));
        Row row;
        if (colon == nullptr || std::from_chars(colon + 1, localEnd, row.port, 16).ptr != localEnd)
            continue;
        const char* column = localEnd;
        for (int index = 2; index <= InodeColumn; ++index)
            column = SkipSpaces(SkipToken(column, lineEnd), lineEnd);
        std::from_chars(column, SkipToken(column, lineEnd), row.inode);
        // Sockets without an inode, such as TIME_WAIT rows, belong to no process.
        if (row.inode != 0)
            tableRows.push_back(row);
    }
}

void PortOwnerLookup::ScanOwners() {
    ownersScanned = Clock::now();
    owners.clear();
    DIR* processes = opendir("/proc");
    if (processes == nullptr)
        return;
    char link[64];
    while (const dirent* process = readdir(processes)) {
        if (!IsDecimal(process->d_name))
            continue;
        int pid = 0;
        std::from_chars(process->d_name, process->d_name + std::strlen(process->d_name), pid);
        ShortText fdPath;
        fdPath << pid << "/fd";
        const int fdDirectory =
            openat(dirfd(processes), fdPath.text, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fdDirectory < 0)
            continue;
        DIR* fds = fdopendir(fdDirectory);
        if (fds == nullptr) {
            close(fdDirectory);
            continue;
        }
        while (const dirent* entry = readdir(fds)) {
            if (!IsDecimal(entry->d_name))
                continue;
            const ssize_t length = readlinkat(fdDirectory, entry->d_name, link, sizeof link);
            const std::string_view target(link, length > 0 ? std::size_t(length) : 0);
            if (!target.starts_with(SocketPrefix))
                continue;
            ino_t inode = 0;
            int fd = 0;
            std::from_chars(target.data() + SocketPrefix.size(), target.data() + target.size(),
                            inode);
            std::from_chars(entry->d_name, entry->d_name + std::strlen(entry->d_name), fd);
            owners.try_emplace(inode, Owner{pid, fd});
        }
        closedir(fds);
    }
    closedir(processes);
}

bool PortOwnerLookup::ProcessName(int pid, std::string& name) {
    name.clear();
    if (pid <= 0)
        return false;
    ShortText exe;
    exe << "/proc/" << pid << "/exe";
    char target[PATH_MAX];
    const ssize_t length = readlink(exe.text, target, sizeof target);
    if (length > 0) {
        std::string_view file(target, std::size_t(length));
        // An executable replaced on disk while it runs, as by an upgrade, keeps its name.
        constexpr std::string_view Deleted = " (deleted)";
        if (file.ends_with(Deleted))
            file.remove_suffix(Deleted.size());
        const std::size_t slash = file.rfind('/');
        if (slash != std::string_view::npos)
            file.remove_prefix(slash + 1);
        name.assign(file);
        return !name.empty();
    }
    // Other users' processes, kernel threads and zombies hide their executable but not comm.
    ShortText commPath;
    commPath << "/proc/" << pid << "/comm";
    const int file = open(commPath.text, O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return false;
    char comm[64];
    const ssize_t read = ::read(file, comm, sizeof comm);
    close(file);
    if (read <= 0)
        return false;
    std::size_t commLength = std::size_t(read);
    if (comm[commLength - 1] == '\n')
        --commLength;
    name.assign(comm, commLength);
    return !name.empty();
}

bool PortOwnerLookup::ReadFile(const char* path) {
    bufferLength = 0;
    const int file = open(path, O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return false;
    for (;;) {
        if (bufferLength == buffer.size())
            buffer.resize(buffer.size() * 2);
        const ssize_t count =
            read(file, buffer.data() + bufferLength, buffer.size() - bufferLength);
        if (count < 0) {
            close(file);
            bufferLength = 0;
            return false;
        }
        if (count == 0)
            break;
        bufferLength += std::size_t(count);
    }
    close(file);
    return true;
}
