#include "SocketLedger.h"

#include "SocketEvents.h"
#include "base/BigEndian.h"

#include <algorithm>
#include <cstring>

namespace talvane {

namespace {

constexpr std::uint8_t TcpProtocol = 6;
constexpr std::uint16_t DontFragment = 0x4000;
constexpr std::uint16_t MoreFragments = 0x2000;
constexpr std::uint16_t OffsetMask = 0x1fff;
// Expired passages and owners are looked for this often, not at every datagram.
constexpr auto SweepEvery = std::chrono::milliseconds(100);

std::uint32_t Raw32(const std::uint8_t* bytes) {
    std::uint32_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

std::uint32_t Key(std::uint8_t protocol, std::uint16_t port) {
    return std::uint32_t{protocol} << 16 | port;
}

template <typename Event> std::optional<Event> EventOf(std::span<const std::uint8_t> record) {
    if (record.size() < sizeof(Event))
        return std::nullopt;
    Event event;
    std::memcpy(&event, record.data(), sizeof event);
    return event;
}

// The bytes behind a TCP header that begins its transport bytes.
std::uint32_t TcpPayload(std::uint32_t transportLength, std::uint8_t dataOffsetByte) {
    const std::uint32_t header = static_cast<std::uint32_t>(dataOffsetByte >> 4) * 4;
    return transportLength > header ? transportLength - header : 0;
}

} // namespace

std::size_t SocketLedger::FlowHash::operator()(const Flow& flow) const {
    const std::uint64_t ends = std::uint64_t{flow.source} << 32 | flow.destination;
    return std::hash<std::uint64_t>()(ends ^ (std::uint64_t{flow.tag} * 0x9e3779b97f4a7c15ull)) ^
           flow.protocol;
}

void SocketLedger::Take(std::span<const std::uint8_t> record, Clock::time_point now) {
    Forget(now);
    if (record.size() < sizeof(std::uint32_t))
        return;
    if (Raw32(record.data()) == TALVANE_PACKET)
        TakePassage(record, now);
    else
        TakeSocket(record, now);
}

void SocketLedger::TakeSocket(std::span<const std::uint8_t> record, Clock::time_point now) {
    const std::optional<talvane_socket_event> event = EventOf<talvane_socket_event>(record);
    if (!event)
        return;
    switch (event->kind) {
    case TALVANE_SOCKET_MADE: {
        Owner owner{static_cast<std::int32_t>(event->pid),
                    event->uid,
                    {event->name, strnlen(event->name, sizeof event->name)}};
        if (owner.name.empty())
            owner.name = nameOf(owner.pid).value_or(std::string());
        if (!owner.name.empty())
            owners.insert_or_assign(event->cookie, std::move(owner));
        break;
    }
    case TALVANE_SOCKET_BOUND:
        bound.insert_or_assign(Key(event->protocol, event->port), event->cookie);
        break;
    case TALVANE_SOCKET_ACCEPTED:
        // The connection is the program's that listens on its port.
        if (const auto listener = bound.find(Key(event->protocol, event->port));
            listener != bound.end()) {
            if (const auto owner = owners.find(listener->second); owner != owners.end()) {
                Owner copy = owner->second;
                owners.insert_or_assign(event->cookie, std::move(copy));
            }
        }
        break;
    case TALVANE_SOCKET_RELEASED:
        released.emplace_back(now + OwnerKept, event->cookie);
        break;
    default:
        break;
    }
}

void SocketLedger::TakePassage(std::span<const std::uint8_t> record, Clock::time_point now) {
    const std::optional<talvane_packet_event> event = EventOf<talvane_packet_event>(record);
    if (!event)
        return;
    const std::uint8_t* transport = event->transport;
    const bool tcp = event->protocol == TcpProtocol;
    Flow flow{event->source, event->destination, tcp ? Raw32(transport + 8) : event->id,
              event->protocol};
    std::uint8_t fragment[2];
    std::memcpy(fragment, &event->fragment, sizeof fragment);
    Passage passage{event->direction,       event->cookie,
                    event->raw_socket != 0, (BigEndian::Get16(fragment, 0) & DontFragment) != 0,
                    Raw32(transport),       0,
                    event->length,          now};
    if (tcp) {
        passage.start = BigEndian::Get32(event->transport, 4);
        passage.end = passage.start + TcpPayload(event->length, transport[12]);
    }
    passages[flow].push_back(passage);
}

DatagramOwners SocketLedger::OwnersOf(std::span<const std::uint8_t> datagram,
                                      Clock::time_point now) {
    Forget(now);
    const std::size_t headerLength = datagram.empty() ? 0 : (datagram[0] & 0x0f) * 4u;
    if (datagram.size() < 20 || headerLength < 20 || datagram.size() < headerLength)
        return {};
    const std::uint8_t* ip = datagram.data();
    const std::uint32_t totalLength = BigEndian::Get16(datagram, 2);
    constexpr KernelOwner Nobody{KernelOwner::Source::Nobody, 0, 0, {}};
    // No socket takes a datagram whose length disagrees with what was captured of it.
    if (totalLength < headerLength || totalLength > datagram.size())
        return {Nobody, Nobody};
    const std::uint32_t transportLength = totalLength - std::uint32_t(headerLength);
    const std::uint16_t fragment = BigEndian::Get16(datagram, 6);
    const std::uint32_t offset = static_cast<std::uint32_t>(fragment & OffsetMask) * 8;
    const bool whole = offset == 0 && (fragment & MoreFragments) == 0;
    const std::uint8_t protocol = ip[9];
    const std::uint8_t* transport = ip + headerLength;
    const bool tcp = protocol == TcpProtocol;
    // An arriving datagram in pieces passes its socket once the last piece is in, which may be
    // captured long after the first: where no passage names a piece, the window looks it up.
    const KernelOwner unmatched{
        whole ? KernelOwner::Source::Nobody : KernelOwner::Source::LookUp, 0, 0, {}};
    // A TCP header too short to hold its data offset matches nothing.
    if (tcp && (offset != 0 || transportLength < 13))
        return {unmatched, unmatched};
    const std::optional<std::uint32_t> ports =
        offset == 0 && transportLength >= 4 ? std::optional(Raw32(transport)) : std::nullopt;

    std::uint16_t id;
    std::memcpy(&id, ip + 4, sizeof id);
    const Flow flow{Raw32(ip + 12), Raw32(ip + 16), tcp ? Raw32(transport + 8) : id, protocol};
    std::uint32_t position = offset;
    std::uint32_t end = offset + transportLength;
    if (tcp) {
        position = BigEndian::Get32(datagram, headerLength + 4);
        end = position + TcpPayload(transportLength, transport[12]);
    }

    DatagramOwners found{unmatched, unmatched};
    const auto flowPassages = passages.find(flow);
    if (flowPassages == passages.end())
        return found;
    std::deque<Passage>& queue = flowPassages->second;
    for (const std::uint8_t direction : {TALVANE_SENT, TALVANE_RECEIVED}) {
        const auto passage = std::ranges::find_if(queue, [&](const Passage& p) {
            if (p.direction != direction || (ports && p.ports != *ports))
                return false;
            // The piece lies within the passage's datagram, and is all of it where it must be.
            const std::uint32_t span = p.end - p.start;
            if (tcp)
                return position - p.start < std::max<std::uint32_t>(span, 1) &&
                       end - p.start <= span;
            return end <= p.end && ((!whole && !p.dontFragment) || p.end == end);
        });
        if (passage == queue.end())
            continue;
        (direction == TALVANE_SENT ? found.sender : found.receiver) = OwnerOf(*passage);
        // The piece that reaches the passage's end is its last.
        if (end - passage->start >= passage->end - passage->start)
            queue.erase(passage);
    }
    if (queue.empty())
        passages.erase(flowPassages);
    return found;
}

KernelOwner SocketLedger::OwnerOf(const Passage& passage) const {
    const auto owner = owners.find(passage.cookie);
    // A raw socket no process made: the kernel's own, for its resets and ICMP errors. The window
    // could not name an older raw socket's process either.
    if (owner == owners.end() && passage.rawSocket)
        return {KernelOwner::Source::Nobody, 0, 0, {}};
    if (owner == owners.end())
        return {};
    return {KernelOwner::Source::Named, owner->second.pid, owner->second.uid, owner->second.name};
}

void SocketLedger::Forget(Clock::time_point now) {
    if (now < nextSweep)
        return;
    nextSweep = now + SweepEvery;
    while (!released.empty() && released.front().first <= now) {
        owners.erase(released.front().second);
        released.pop_front();
    }
    for (auto flow = passages.begin(); flow != passages.end();) {
        std::erase_if(flow->second, [now](const Passage& p) { return now - p.seen > PassageKept; });
        flow = flow->second.empty() ? passages.erase(flow) : std::next(flow);
    }
}

} // namespace talvane
