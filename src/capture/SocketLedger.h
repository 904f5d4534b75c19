#pragma once

#include "CapturedDatagram.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>

namespace talvane {

// Names who carried each captured datagram from what the kernel programs told: which process
// made each socket, and which socket each datagram passed, in the order the kernel saw them. A
// datagram is matched to its passage by its addresses, protocol, identification and transport
// header, so that a socket gone a moment later, or a port that changed hands, still names the
// right program. The kernel tells a passage before the capture sees a datagram leave, and moments
// after it sees one arrive: the capture asks once it has read what the kernel told.
class SocketLedger {
public:
    using Clock = std::chrono::steady_clock;
    // The executable's file name of process pid, or its command name, for a socket whose record
    // names no process; nullopt when neither can be read, as when it has ended.
    using ProcessNamer = std::function<std::optional<std::string>(std::int32_t pid)>;

    // A passage no captured datagram matched within this time never will: its datagram was
    // dropped, or went out on another interface of the same number in another namespace.
    static constexpr Clock::duration PassageKept = std::chrono::seconds(1);
    // A socket's owner stays known this long after the socket is gone, for its last datagrams,
    // which the capture reads after the kernel told of the release.
    static constexpr Clock::duration OwnerKept = std::chrono::seconds(2);

    explicit SocketLedger(ProcessNamer nameOf) : nameOf(std::move(nameOf)) {}

    // One record of the kernel programs, as they wrote it; a record of no known kind, or shorter
    // than its kind, is passed over.
    void Take(std::span<const std::uint8_t> record, Clock::time_point now);

    // Who carried the datagram (IP header first) each way: a passage's socket owner, LookUp for a
    // socket made before the programs were loaded, Nobody where no socket carried it or the
    // kernel made it itself. The names view into the ledger until the next Take.
    DatagramOwners OwnersOf(std::span<const std::uint8_t> datagram, Clock::time_point now);

private:
    struct Owner {
        std::int32_t pid = 0;
        std::uint32_t uid = 0;
        std::string name;
    };
    // What identifies a datagram's flow: addresses, protocol, and for TCP the acknowledgement
    // number, else the IP identification, as on the wire.
    struct Flow {
        std::uint32_t source = 0;
        std::uint32_t destination = 0;
        std::uint32_t tag = 0;
        std::uint8_t protocol = 0;
        bool operator==(const Flow&) const = default;
    };
    struct FlowHash {
        std::size_t operator()(const Flow& flow) const;
    };
    // A datagram's way through a socket, and the span it covers: sequence numbers for TCP, bytes
    // behind the IP header otherwise. A datagram split on the wire is matched by its pieces.
    struct Passage {
        std::uint8_t direction = 0;
        std::uint64_t cookie = 0;
        bool rawSocket = false;
        // Its IP header forbids fragments: only a whole datagram is it.
        bool dontFragment = false;
        std::uint32_t ports = 0;
        std::uint32_t start = 0;
        std::uint32_t end = 0;
        Clock::time_point seen;
    };

    void TakeSocket(std::span<const std::uint8_t> record, Clock::time_point now);
    void TakePassage(std::span<const std::uint8_t> record, Clock::time_point now);
    KernelOwner OwnerOf(const Passage& passage) const;
    void Forget(Clock::time_point now);

    ProcessNamer nameOf;
    std::unordered_map<std::uint64_t, Owner> owners;
    // Sockets released, with when their owner is forgotten, oldest first.
    std::deque<std::pair<Clock::time_point, std::uint64_t>> released;
    // The socket bound last to each protocol and port: whose program a connection accepted on
    // the port is.
    std::unordered_map<std::uint32_t, std::uint64_t> bound;
    std::unordered_map<Flow, std::deque<Passage>, FlowHash> passages;
    Clock::time_point nextSweep;
};

} // namespace talvane
