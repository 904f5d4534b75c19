#include "SocketDiag.h"

#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>

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
    alignas(nlmsghdr) char reply[8192];
    for (;;) {
        const ssize_t length = recv(netlink.Get(), reply, sizeof reply, MSG_DONTWAIT);
        if (length <= 0)
            return std::nullopt;
        int remaining = static_cast<int>(length);
        for (auto* message = reinterpret_cast<nlmsghdr*>(reply); NLMSG_OK(message, remaining);
             message = NLMSG_NEXT(message, remaining)) {
            // An answer to an earlier question that gave up is skipped.
            if (message->nlmsg_seq != sequence)
                continue;
            if (message->nlmsg_type != SOCK_DIAG_BY_FAMILY ||
                message->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
                return std::nullopt;
            const auto* found = static_cast<const inet_diag_msg*>(NLMSG_DATA(message));
            return Socket{found->idiag_inode, found->idiag_uid};
        }
    }
}

} // namespace talvane
