#pragma once

#include "base/UniqueFd.h"

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace talvane {

// Finds the process that holds a socket among the open files of /proc/<pid>/fd. A scan of every
// process costs milliseconds, so the descriptors seen are kept, each checked again before it is
// trusted, and the processes that held sockets lately are searched first: a program that opens
// one socket after another is found in its own few descriptors.
class SocketHolders {
public:
    using Clock = std::chrono::steady_clock;
    // A socket that no readable process holds is searched for again only after this long, so a
    // flood of datagrams for it does not scan /proc for each.
    static constexpr Clock::duration RescanAfter = std::chrono::seconds(1);

    struct Holder {
        int pid = 0;
        int fd = 0;
    };
    struct Search {
        enum class Result { Found, Nobody, NotPermitted };
        Result result = Result::Nobody;
        Holder holder;
    };

    SocketHolders();

    // socketUid is the socket's owner as the kernel reports it: a socket of another user, whose
    // processes this program may not read, is NotPermitted rather than held by nobody.
    Search Find(std::uint64_t inode, std::uint32_t socketUid);

    // The process still holds the socket at that descriptor: neither a closed socket nor a reused
    // process id passes.
    static bool StillHolds(const Holder& holder, std::uint64_t inode);

    // The executable file name of process `pid`, or its command name where the executable cannot
    // be read; nullopt when neither gives a name.
    static std::optional<std::string> ProcessName(int pid);

    // Rescans every process; returns how many sockets they hold.
    std::size_t ScanAll();

private:
    struct RecentProcess {
        int pid = 0;
        // The descriptor numbers a new socket of it is likely to take, as of its last scan.
        std::vector<int> likelyFds;
    };

    struct ProcessScan {
        // Its descriptors were listed; denied when reading them was not permitted.
        bool readable = false;
        bool denied = false;
        bool holdsInode = false;
        // The descriptor numbers it holds that are not sockets.
        std::vector<int> otherFds;
    };

    // Records the sockets of one process and says whether it holds `inode`.
    ProcessScan ScanProcess(int procDirectory, int pid, std::uint64_t inode);
    // Looks at the descriptor numbers of the recent processes first, then at all their
    // descriptors.
    std::optional<Holder> FindInRecent(std::uint64_t inode);
    void Promote(int pid);

    std::unordered_map<std::uint64_t, Holder> holders;
    // Most recent first.
    std::vector<RecentProcess> recent;
    struct Miss {
        Clock::time_point searched;
        Search::Result result;
    };
    // Sockets that no readable process held when last searched for.
    std::unordered_map<std::uint64_t, Miss> unheld;
    UniqueFd procDirectory;
    bool canReadOtherUsers = false;
    bool otherUsersHidden = false;
    uid_t ownUid;
};

} // namespace talvane
