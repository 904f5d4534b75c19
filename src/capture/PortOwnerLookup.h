#pragma once

#include "RecentOwners.h"
#include "SocketDiag.h"
#include "SocketHolders.h"
#include "SocketOwner.h"

#include <chrono>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>

namespace talvane {

// Names the local process behind a datagram's local socket: the kernel says which socket takes
// the datagram, /proc which process holds that socket. A socket gone by the time the window
// reaches its datagram is named by the port's recent owner.
class PortOwnerLookup : public OwnerSource {
public:
    using Clock = RecentOwners::Clock;
    // The clock the answers age by; a test hands in one it moves itself.
    explicit PortOwnerLookup(std::function<Clock::time_point()> clock = Clock::now)
        : clock(std::move(clock)) {}

    OwnerAnswer Owner(const SocketQuery& query) override;

    // The executable file name of process `pid`; nullopt when it has none that can be read.
    static std::optional<std::string> ProcessName(int pid) {
        return SocketHolders::ProcessName(pid);
    }

    // A name found for the same pair of ends this recently is given again while its holder still
    // holds the socket, without asking the kernel: the datagrams of one flow come in runs, and a
    // new socket for the very same ends within this time is next to impossible.
    static constexpr std::chrono::milliseconds AnswerReuse{50};
    // Within a reused answer, the holder is looked at again only this long after the last look:
    // the datagrams of one capture block are handled within it.
    static constexpr std::chrono::milliseconds HolderRecheck{1};

private:
    struct Ends {
        Transport transport;
        std::uint16_t localPort;
        std::uint32_t remote;
        std::uint16_t remotePort;
        bool operator==(const Ends&) const = default;
    };
    struct EndsHash {
        std::size_t operator()(const Ends& ends) const;
    };
    struct Answer {
        std::string name;
        SocketHolders::Holder holder;
        std::uint64_t inode = 0;
        std::uint32_t uid = 0;
        RecentOwners::Clock::time_point found;
        // When the holder was last seen holding the socket.
        RecentOwners::Clock::time_point checked;
    };

    struct HolderAnswer {
        OwnerAnswer answer;
        // Set when the name was read from the process that holds the socket.
        std::optional<SocketHolders::Holder> holder;
    };

    // The answer for a live socket; Named only once its holder has been read.
    HolderAnswer NameHolder(const SocketQuery& query, const SocketDiag::Socket& socket,
                            RecentOwners::Clock::time_point now);

    std::function<Clock::time_point()> clock;
    SocketDiag kernel;
    SocketHolders holders;
    RecentOwners recent;
    std::unordered_map<Ends, Answer, EndsHash> answers;
};

} // namespace talvane
