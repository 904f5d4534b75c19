#include "PortOwnerLookup.h"

namespace talvane {

namespace {

using Status = OwnerAnswer::Status;

// Answers kept at most; past this the old ones are dropped together.
constexpr std::size_t AnswerLimit = 4096;

OwnerAnswer Named(const std::string& name, ProcessIdentity process = {}) {
    return {Status::Named, name, process};
}

} // namespace

OwnerAnswer PortOwnerLookup::Owner(const SocketQuery& query) {
    // No socket is bound to port 0.
    if (query.localPort == 0)
        return {};
    const Clock::time_point now = clock();
    Ends ends{query.transport, query.localPort, 0, query.remotePort};
    std::memcpy(&ends.remote, query.remote.octets.data(), sizeof ends.remote);
    if (const auto given = answers.find(ends);
        given != answers.end() && now - given->second.found < AnswerReuse) {
        Answer& answer = given->second;
        const ProcessIdentity process{answer.holder.pid, answer.uid};
        if (now - answer.checked < HolderRecheck)
            return Named(answer.name, process);
        if (SocketHolders::StillHolds(answer.holder, answer.inode)) {
            answer.checked = now;
            return Named(answer.name, process);
        }
    }
    std::optional<SocketDiag::Socket> socket = kernel.Find(query);
    if (socket && socket->inode != 0) {
        HolderAnswer named = NameHolder(query, *socket, now);
        if (named.holder) {
            if (answers.size() >= AnswerLimit)
                answers.clear();
            answers.insert_or_assign(ends, Answer{named.answer.name, *named.holder, socket->inode,
                                                  socket->uid, now, now});
        }
        return named.answer;
    }
    if (const std::string* last = recent.Recall(query.transport, query.localPort, 0, now))
        return Named(*last);
    // A connection still in its handshake belongs to whoever listens on its port.
    if (socket && query.transport == Transport::Tcp) {
        SocketQuery listener = query;
        listener.remote = {};
        listener.remotePort = 0;
        if (const std::optional<SocketDiag::Socket> listening = kernel.Find(listener);
            listening && listening->inode != 0)
            return NameHolder(listener, *listening, now).answer;
    }
    return {socket ? Status::NoProcess : Status::NoSocket, {}, {}};
}

PortOwnerLookup::HolderAnswer PortOwnerLookup::NameHolder(const SocketQuery& query,
                                                          const SocketDiag::Socket& socket,
                                                          RecentOwners::Clock::time_point now) {
    const SocketHolders::Search search = holders.Find(socket.inode, socket.uid);
    if (search.result == SocketHolders::Search::Result::Found) {
        // Checked again after the name is read: the process may have ended and its id been reused.
        if (std::optional<std::string> name = ProcessName(search.holder.pid);
            name && SocketHolders::StillHolds(search.holder, socket.inode)) {
            recent.Remember(query.transport, query.localPort, socket.inode, *name, now);
            return {Named(*name, {search.holder.pid, socket.uid}), search.holder};
        }
    }
    // The holder let go of the socket a moment ago.
    if (const std::string* last =
            recent.Recall(query.transport, query.localPort, socket.inode, now))
        return {Named(*last), std::nullopt};
    const bool notPermitted = search.result == SocketHolders::Search::Result::NotPermitted;
    return {{notPermitted ? Status::NotPermitted : Status::NoProcess, {}, {}}, std::nullopt};
}

std::size_t PortOwnerLookup::EndsHash::operator()(const Ends& ends) const {
    const std::uint64_t key =
        std::uint64_t{ends.remote} << 32 | std::uint64_t{ends.localPort} << 16 | ends.remotePort;
    return std::hash<std::uint64_t>()(key) ^ static_cast<std::size_t>(ends.transport);
}

} // namespace talvane
