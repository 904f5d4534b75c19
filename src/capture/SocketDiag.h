#pragma once

#include "SocketOwner.h"
#include "base/UniqueFd.h"

#include <cstdint>
#include <optional>
#include <span>

namespace talvane {

// Asks the kernel which socket takes a datagram, through netlink sock_diag: one socket at a
// time, in microseconds, where reading the socket tables costs milliseconds. The kernel answers
// for the network namespace in which the first question was asked.
class SocketDiag {
public:
    struct Socket {
        // 0 for a socket that no descriptor holds any more: a connection closing or in
        // TIME_WAIT, or one still in its handshake.
        std::uint64_t inode = 0;
        std::uint32_t uid = 0;
    };

    // The socket that the kernel would deliver a datagram from the remote end to the local end
    // to: the connected socket of the pair of ends, else the listening or bound one of the
    // local port. A remote end of 0.0.0.0:0 asks for the latter. nullopt when there is none or
    // the kernel cannot be asked.
    std::optional<Socket> Find(const SocketQuery& query);

    // What one datagram of the kernel's answers says to the question numbered sequence.
    struct Reply {
        // False when it holds answers to earlier questions only.
        bool answered = false;
        // The socket, when the answer names one.
        std::optional<Socket> socket;
    };
    // Reads the netlink messages in bytes, taken as untrusted: none is read past their end.
    static Reply ReadReply(std::span<const std::uint8_t> bytes, std::uint32_t sequence);

private:
    bool Open();

    UniqueFd netlink;
    std::uint32_t sequence = 0;
};

} // namespace talvane
