#pragma once

#include "RecentOwners.h"
#include "SocketDiag.h"
#include "SocketHolders.h"
#include "SocketOwner.h"

// Names the local process behind a datagram's local socket: the kernel says which socket takes
// the datagram, /proc which process holds that socket. A socket gone by the time the window
// reaches its datagram is named by the port's recent owner.
class PortOwnerLookup : public OwnerSource {
public:
    OwnerAnswer Owner(const SocketQuery& query) override;

    // The executable file name of process `pid`: name is set to "" first. Returns !name.empty().
    static bool ProcessName(int pid, std::string& name) {
        return SocketHolders::ProcessName(pid, name);
    }

    std::size_t RememberedPorts() const { return recent.Size(); }

private:
    // The answer for a live socket; Named only once its holder has been read.
    OwnerAnswer NameHolder(const SocketQuery& query, const SocketDiag::Socket& socket,
                           RecentOwners::Clock::time_point now);

    SocketDiag kernel;
    SocketHolders holders;
    RecentOwners recent;
};
