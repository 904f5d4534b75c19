#include "SocketHolders.h"

#include "base/UniqueDir.h"
#include "base/UniqueFd.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <concepts>
#include <cstring>
#include <fstream>
#include <string_view>

namespace talvane {

namespace {

constexpr std::string_view SocketPrefix = "socket:[";
constexpr std::size_t RecentLimit = 8;
// The descriptors kept between scans; past this they are dropped and found again as needed.
constexpr std::size_t HolderLimit = 1 << 16;

template <std::integral Number> bool ParseDecimal(std::string_view text, Number& number) {
    if (text.empty())
        return false;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), number);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
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

// The socket inode a descriptor link names, 0 for anything else.
std::uint64_t SocketInode(std::string_view link) {
    std::uint64_t inode = 0;
    if (!link.starts_with(SocketPrefix) || !link.ends_with(']'))
        return 0;
    link.remove_prefix(SocketPrefix.size());
    link.remove_suffix(1);
    return ParseDecimal(link, inode) ? inode : 0;
}

// Reading another user's descriptors takes CAP_SYS_PTRACE, which root has and the capture
// capabilities do not give.
bool MayReadOtherUsers() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        constexpr std::string_view Field = "CapEff:";
        if (!line.starts_with(Field))
            continue;
        std::string_view hex(line);
        hex.remove_prefix(Field.size());
        while (!hex.empty() && (hex.front() == '\t' || hex.front() == ' '))
            hex.remove_prefix(1);
        std::uint64_t effective = 0;
        std::from_chars(hex.data(), hex.data() + hex.size(), effective, 16);
        return (effective >> CAP_SYS_PTRACE & 1) != 0;
    }
    return false;
}

std::optional<std::string> NonEmpty(std::string_view name) {
    if (name.empty())
        return std::nullopt;
    return std::string(name);
}

// The descriptor numbers a new socket of a process is likely to take: a new descriptor takes the
// lowest free number, one held by a socket now or free now.
std::vector<int> LikelyFds(std::vector<int> otherFds) {
    std::ranges::sort(otherFds);
    const int highest = otherFds.empty() ? -1 : otherFds.back();
    std::vector<int> likely;
    for (int fd = 0; fd <= highest + 1 || likely.size() < 8; ++fd) {
        if (!std::ranges::binary_search(otherFds, fd))
            likely.push_back(fd);
    }
    return likely;
}

} // namespace

SocketHolders::SocketHolders() : canReadOtherUsers(MayReadOtherUsers()), ownUid(geteuid()) {}

SocketHolders::Search SocketHolders::Find(std::uint64_t inode, std::uint32_t socketUid) {
    using Result = Search::Result;
    if (inode == 0)
        return {};
    const auto known = holders.find(inode);
    if (known != holders.end()) {
        if (StillHolds(known->second, inode)) {
            Promote(known->second.pid);
            return {Result::Found, known->second};
        }
        holders.erase(known);
    }
    const Clock::time_point now = Clock::now();
    if (const auto missed = unheld.find(inode);
        missed != unheld.end() && now - missed->second.searched < RescanAfter)
        return {missed->second.result, {}};
    if (const std::optional<Holder> holder = FindInRecent(inode)) {
        Promote(holder->pid);
        return {Result::Found, *holder};
    }
    const bool foreign = socketUid != ownUid;
    Result result = Result::NotPermitted;
    if (!foreign || canReadOtherUsers) {
        ScanAll();
        if (const auto found = holders.find(inode); found != holders.end()) {
            unheld.erase(inode);
            Promote(found->second.pid);
            return {Result::Found, found->second};
        }
        result = foreign && otherUsersHidden ? Result::NotPermitted : Result::Nobody;
    }
    if (unheld.size() >= HolderLimit)
        std::erase_if(unheld, [now](const auto& entry) {
            return now - entry.second.searched >= RescanAfter;
        });
    unheld.insert_or_assign(inode, Miss{now, result});
    return {result, {}};
}

std::optional<SocketHolders::Holder> SocketHolders::FindInRecent(std::uint64_t inode) {
    for (const RecentProcess& process : recent) {
        for (const int fd : process.likelyFds) {
            if (const Holder holder{process.pid, fd}; StillHolds(holder, inode)) {
                holders.insert_or_assign(inode, holder);
                return holder;
            }
        }
    }
    if (!procDirectory)
        procDirectory = UniqueFd(open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (RecentProcess& process : recent) {
        ProcessScan scan = ScanProcess(procDirectory.Get(), process.pid, inode);
        if (scan.readable)
            process.likelyFds = LikelyFds(std::move(scan.otherFds));
        if (scan.holdsInode)
            return holders.at(inode);
    }
    return std::nullopt;
}

void SocketHolders::Promote(int pid) {
    const auto found =
        std::ranges::find(recent, pid, [](const RecentProcess& process) { return process.pid; });
    RecentProcess promoted = found != recent.end() ? std::move(*found) : RecentProcess{pid, {}};
    if (found != recent.end())
        recent.erase(found);
    recent.insert(recent.begin(), std::move(promoted));
    if (recent.size() > RecentLimit)
        recent.pop_back();
}

std::size_t SocketHolders::ScanAll() {
    holders.clear();
    otherUsersHidden = false;
    const UniqueDir processes = OpenDir("/proc");
    if (!processes)
        return 0;
    while (const dirent* process = readdir(processes.get())) {
        int pid = 0;
        if (ParseDecimal(std::string_view(process->d_name), pid))
            otherUsersHidden =
                ScanProcess(dirfd(processes.get()), pid, 0).denied || otherUsersHidden;
    }
    return holders.size();
}

SocketHolders::ProcessScan SocketHolders::ScanProcess(int procDirectory, int pid,
                                                      std::uint64_t inode) {
    ShortText path;
    path << pid << "/fd";
    ProcessScan scan;
    UniqueFd fdDirectory(openat(procDirectory, path.text, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fdDirectory) {
        scan.denied = errno == EACCES || errno == EPERM;
        return scan;
    }
    const UniqueDir fds = OpenDir(std::move(fdDirectory));
    if (!fds)
        return scan;
    if (holders.size() >= HolderLimit)
        holders.clear();
    scan.readable = true;
    char link[64];
    while (const dirent* entry = readdir(fds.get())) {
        int fd = 0;
        if (!ParseDecimal(std::string_view(entry->d_name), fd))
            continue;
        const ssize_t length = readlinkat(dirfd(fds.get()), entry->d_name, link, sizeof link);
        const std::uint64_t socket =
            length > 0 ? SocketInode(std::string_view(link, std::size_t(length))) : 0;
        if (socket == 0) {
            scan.otherFds.push_back(fd);
            continue;
        }
        holders.insert_or_assign(socket, Holder{pid, fd});
        scan.holdsInode = scan.holdsInode || socket == inode;
    }
    return scan;
}

bool SocketHolders::StillHolds(const Holder& holder, std::uint64_t inode) {
    ShortText path;
    path << "/proc/" << holder.pid << "/fd/" << holder.fd;
    char link[64];
    const ssize_t length = path.fits ? readlink(path.text, link, sizeof link) : -1;
    return length > 0 && SocketInode(std::string_view(link, std::size_t(length))) == inode;
}

std::optional<std::string> SocketHolders::ProcessName(int pid) {
    if (pid <= 0)
        return std::nullopt;
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
        return NonEmpty(file);
    }
    // Other users' processes, kernel threads and zombies hide their executable but not comm.
    ShortText commPath;
    commPath << "/proc/" << pid << "/comm";
    const UniqueFd file(open(commPath.text, O_RDONLY | O_CLOEXEC));
    if (!file)
        return std::nullopt;
    char comm[64];
    const ssize_t read = ::read(file.Get(), comm, sizeof comm);
    if (read <= 0)
        return std::nullopt;
    std::size_t commLength = std::size_t(read);
    if (comm[commLength - 1] == '\n')
        --commLength;
    return NonEmpty(std::string_view(comm, commLength));
}

} // namespace talvane
