#pragma once

#include "SocketOwner.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <unordered_map>

namespace talvane {

// The owners of local ports seen lately. A socket often closes before the window reaches its
// last datagrams (a query answered, a connection shut); for a short while the port's last owner
// still names them.
class RecentOwners {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr Clock::duration Span = std::chrono::seconds(2);

    // The socket `inode` on the port is held by `name` at `now`; a newer owner replaces an older.
    void Remember(Transport transport, std::uint16_t port, std::uint64_t inode,
                  const std::string& name, Clock::time_point now);

    // The port's owner, when it was last seen no more than Span before `now`. liveInode is the
    // socket that owns the port now, 0 when there is none: a different socket on the port is a
    // newer owner, and the memory does not speak for it. Null when nothing applies.
    const std::string* Recall(Transport transport, std::uint16_t port, std::uint64_t liveInode,
                              Clock::time_point now) const;

private:
    struct Owner {
        std::uint64_t inode = 0;
        std::string name;
        Clock::time_point seen;
    };

    static std::uint32_t Key(Transport transport, std::uint16_t port);
    void ForgetExpired(Clock::time_point now);

    std::unordered_map<std::uint32_t, Owner> owners;
};

} // namespace talvane
