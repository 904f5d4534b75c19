#pragma once

// What the helper's kernel programs tell it, one record after another on a ring buffer: which
// process made each socket, which port a listener took, which connection a listener accepted,
// which socket went away, and which socket each datagram on the captured interface passed. Every
// record begins with its kind. Shared with the kernel programs, so plain C.

#include <linux/types.h>

enum talvane_event_kind {
    // In the process that made the socket, as it makes it.
    TALVANE_SOCKET_MADE = 1,
    // A socket took a local port with bind: a listener's accepted connections are its program's.
    TALVANE_SOCKET_BOUND = 2,
    // A listener's connection completed its handshake: a socket of its own, made by no process.
    TALVANE_SOCKET_ACCEPTED = 3,
    TALVANE_SOCKET_RELEASED = 4,
    TALVANE_PACKET = 5,
};

enum talvane_packet_direction {
    TALVANE_SENT = 0,
    TALVANE_RECEIVED = 1,
};

// TALVANE_SOCKET_MADE, _BOUND, _ACCEPTED and _RELEASED. pid, uid and name are set when made; port
// (host order) and protocol (IPPROTO_TCP or IPPROTO_UDP) when bound or accepted.
struct talvane_socket_event {
    __u32 kind;
    __u32 pid;
    __u32 uid;
    __u16 port;
    __u8 protocol;
    __u8 unused;
    __u64 cookie;
    // The file name of the process's executable, else its command name, cut to 63 bytes and
    // ended by a zero byte; empty where the kernel keeps them from the programs.
    char name[64];
};

// TALVANE_PACKET: a datagram that passed a socket on the captured interface, as its IP header and
// the start of its transport header read (network byte order, as on the wire). A datagram the
// kernel splits on its way out (TCP segmentation, IP fragments) passes as one, before the split;
// length counts the bytes behind its IP header then.
struct talvane_packet_event {
    __u32 kind;
    __u8 direction;
    __u8 protocol;
    // The IP header's fragment field: flags and offset.
    __u16 fragment;
    __u64 cookie;
    __u32 source;
    __u32 destination;
    __u16 id;
    // The socket is a raw one, as those the kernel sends its own resets and ICMP errors from.
    __u8 raw_socket;
    __u8 unused;
    __u32 length;
    // The first 16 bytes behind the IP header: ports, then for TCP the sequence and
    // acknowledgement numbers and the header's length. Zero where the datagram is shorter, and in
    // a later fragment.
    __u8 transport[16];
};
