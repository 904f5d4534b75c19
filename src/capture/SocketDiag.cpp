#include "SocketDiag.h"

#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>

namespace talvane {

namespace {

std::uint32_t NetworkOrder(const Ipv4Address& address) {
    std::uint32_t value = 0;
    std::memcpy(&value, address.octets.data(), sizeof value);
    return value;
}

inet_diag_req_v2 RequestFor(const SocketQuery& query) {
    inet_diag_req_v2 request{};
    request.sdiag_family = AF_INET;
    request.idiag_states = ~0u;
    request.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    inet_diag_sockid& id = request.id;
    if (query.transport == Transport::Tcp) {
        request.sdiag_protocol = IPPROTO_TCP;
        id.idiag_src[0] = NetworkOrder(query.local);
        id.idiag_sport = htons(query.localPort);
        id.idiag_dst[0] = NetworkOrder(query.remote);
        id.idiag_dport = htons(query.remotePort);
    } else {
        // The kernel's UDP lookup takes the ends in the datagram's direction, remote first.
        request.sdiag_protocol = IPPROTO_UDP;
        id.idiag_src[0] = NetworkOrder(query.remote);
        id.idiag_sport = htons(query.remotePort);
        id.idiag_dst[0] = NetworkOrder(query.local);
        id.idiag_dport = htons(query.localPort);
    }
    return request;
}

} // namespace

bool SocketDiag::Open() {
    if (!netlink)
        netlink = UniqueFd(socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG));
    return static_cast<bool>(netlink);
}

std::optional<SocketDiag::Socket> SocketDiag::Find(const SocketQuery& query) {
    if (!Open())
        return std::nullopt;
    struct {
        nlmsghdr header;
        inet_diag_req_v2 body;
    } request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    request.header.nlmsg_flags = NLM_F_REQUEST;
    request.header.nlmsg_seq = ++sequence;
    request.body = RequestFor(query);
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (sendto(netlink.Get(), &request, sizeof request, 0, reinterpret_cast<sockaddr*>(&kernel),
               sizeof kernel) != static_cast<ssize_t>(sizeof request))
        return std::nullopt;
    // The kernel answers within the send, so the answer is queued already: never wait for it.
    std::uint8_t reply[8192];
    for (;;) {
        const ssize_t length = recv(netlink.Get(), reply, sizeof reply, MSG_DONTWAIT);
        if (length <= 0)
            return std::nullopt;
        const Reply read = ReadReply({reply, static_cast<std::size_t>(length)}, sequence);
        if (read.answered)
            return read.socket;
    }
}

SocketDiag::Reply SocketDiag::ReadReply(std::span<const std::uint8_t> bytes,
                                        std::uint32_t sequence) {
    // Copied out rather than viewed in place: the bytes need not be aligned for the headers.
    nlmsghdr header;
    while (bytes.size() >= sizeof header) {
        std::memcpy(&header, bytes.data(), sizeof header);
        if (header.nlmsg_len < sizeof header || header.nlmsg_len > bytes.size())
            break;
        // An answer to an earlier question that gave up is skipped.
        if (header.nlmsg_seq == sequence) {
            if (header.nlmsg_type != SOCK_DIAG_BY_FAMILY ||
                header.nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
                return {true, std::nullopt};
            inet_diag_msg found;
            std::memcpy(&found, bytes.data() + NLMSG_HDRLEN, sizeof found);
            return {true, Socket{found.idiag_inode, found.idiag_uid}};
        }
        bytes = bytes.subspan(std::min<std::size_t>(NLMSG_ALIGN(header.nlmsg_len), bytes.size()));
    }
    return {};
}

} // namespace talvane
