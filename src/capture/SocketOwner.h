#pragma once

#include "Ipv4Address.h"

#include <cstdint>
#include <optional>
#include <string>

namespace talvane {

// The transports whose datagrams belong to a local socket.
enum class Transport { Tcp, Udp };

// The local socket a datagram belongs to, seen from this machine: the local end is the monitored
// address, whichever way the datagram went.
struct SocketQuery {
    Transport transport = Transport::Udp;
    Ipv4Address local;
    std::uint16_t localPort = 0;
    Ipv4Address remote;
    std::uint16_t remotePort = 0;
};

// Which process a record names, where it is known: its id, 0 when unknown, and its user.
struct ProcessIdentity {
    std::int32_t pid = 0;
    std::optional<std::uint32_t> uid;
    bool operator==(const ProcessIdentity&) const = default;
};

struct OwnerAnswer {
    enum class Status {
        Named,        // name is the program that holds the socket, or held it moments ago
        NoSocket,     // nobody owns the port
        NoProcess,    // a socket owns the port, but no process holds it
        NotPermitted, // the socket belongs to another user, whose processes may not be read
    };
    Status status = Status::NoSocket;
    std::string name;
    // Known when the holder was seen holding the socket, not when the port's memory named it.
    ProcessIdentity process;
};

// Names the process behind a local socket; the record store asks it once per datagram.
class OwnerSource {
public:
    virtual ~OwnerSource() = default;
    virtual OwnerAnswer Owner(const SocketQuery& query) = 0;
};

} // namespace talvane
