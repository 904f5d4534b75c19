#include "PortOwnerLookup.h"

namespace {

using Status = OwnerAnswer::Status;

OwnerAnswer Named(const std::string& name) {
    return {Status::Named, name};
}

} // namespace

OwnerAnswer PortOwnerLookup::Owner(const SocketQuery& query) {
    // No socket is bound to port 0.
    if (query.localPort == 0)
        return {};
    const RecentOwners::Clock::time_point now = RecentOwners::Clock::now();
    std::optional<SocketDiag::Socket> socket = kernel.Find(query);
    if (socket && socket->inode != 0)
        return NameHolder(query, *socket, now);
    if (const std::string* last = recent.Recall(query.transport, query.localPort, 0, now))
        return Named(*last);
    // A connection still in its handshake belongs to whoever listens on its port.
    if (socket && query.transport == Transport::Tcp) {
        SocketQuery listener = query;
        listener.remote = {};
        listener.remotePort = 0;
        if (const std::optional<SocketDiag::Socket> listening = kernel.Find(listener);
            listening && listening->inode != 0)
            return NameHolder(listener, *listening, now);
    }
    return {socket ? Status::NoProcess : Status::NoSocket, {}};
}

OwnerAnswer PortOwnerLookup::NameHolder(const SocketQuery& query, const SocketDiag::Socket& socket,
                                        RecentOwners::Clock::time_point now) {
    const SocketHolders::Search search = holders.Find(socket.inode, socket.uid);
    std::string name;
    // Checked again after the name is read: the process may have ended and its id been reused.
    if (search.result == SocketHolders::Search::Result::Found &&
        ProcessName(search.holder.pid, name) &&
        SocketHolders::StillHolds(search.holder, socket.inode)) {
        recent.Remember(query.transport, query.localPort, socket.inode, name, now);
        return Named(name);
    }
    // The holder let go of the socket a moment ago.
    if (const std::string* last =
            recent.Recall(query.transport, query.localPort, socket.inode, now))
        return Named(*last);
    return {search.result == SocketHolders::Search::Result::NotPermitted ? Status::NotPermitted
                                                                         : Status::NoProcess,
            {}};
}
