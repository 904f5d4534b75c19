#include "RecentOwners.h"

namespace talvane {

namespace {

// Beyond this many ports, expired owners are swept out before another is added.
constexpr std::size_t SweepAbove = 4096;

} // namespace

std::uint32_t RecentOwners::Key(Transport transport, std::uint16_t port) {
    return static_cast<std::uint32_t>(transport == Transport::Tcp) << 16 | port;
}

void RecentOwners::Remember(Transport transport, std::uint16_t port, std::uint64_t inode,
                            const std::string& name, Clock::time_point now) {
    if (owners.size() >= SweepAbove)
        ForgetExpired(now);
    Owner& owner = owners[Key(transport, port)];
    owner.inode = inode;
    owner.name = name;
    owner.seen = now;
}

const std::string* RecentOwners::Recall(Transport transport, std::uint16_t port,
                                        std::uint64_t liveInode, Clock::time_point now) const {
    const auto found = owners.find(Key(transport, port));
    if (found == owners.end())
        return nullptr;
    const Owner& owner = found->second;
    if (now - owner.seen > Span || (liveInode != 0 && liveInode != owner.inode))
        return nullptr;
    return &owner.name;
}

void RecentOwners::ForgetExpired(Clock::time_point now) {
    std::erase_if(owners, [now](const auto& entry) { return now - entry.second.seen > Span; });
}

} // namespace talvane
