#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <type_traits>

struct ring_buffer;
struct socket_owners;

namespace talvane {

// The helper's kernel programs, attached to the root of the cgroup2 hierarchy for as long as the
// object lives: they tell which process made each socket and which socket each IPv4 datagram on
// the captured interface passed, as records laid out in capture/SocketEvents.h. Links and maps are
// this process's descriptors alone (nothing is pinned), so the programs go when the process does,
// however it ends; once attached they need no capability.
class KernelOwners {
public:
    struct Loaded {
        // Null when the programs could not be loaded or attached.
        std::unique_ptr<KernelOwners> owners;
        // Why not, in one line for the user.
        std::string error;
    };

    // Needs CAP_BPF and CAP_NET_ADMIN until it returns; without CAP_PERFMON too, the records of
    // made sockets carry no process name.
    static Loaded Load(unsigned interfaceIndex);
    ~KernelOwners();
    KernelOwners(const KernelOwners&) = delete;
    KernelOwners& operator=(const KernelOwners&) = delete;

    // Readable once a socket was made whose program's name the kernel kept from the programs, and
    // while records wait after that; the other records wake nobody, as the capture of their
    // datagrams wakes the helper.
    int Descriptor() const;

    // Hands every waiting record to take, as raw bytes in the order the kernel wrote them, each
    // beginning with its kind; take must not throw.
    template <typename Take> void Drain(Take&& take) {
        DrainWith(
            [](void* context, std::span<const std::uint8_t> record) {
                (*static_cast<std::remove_reference_t<Take>*>(context))(record);
            },
            &take);
    }

private:
    using Taker = void (*)(void* context, std::span<const std::uint8_t> record);

    KernelOwners() = default;
    void DrainWith(Taker taker, void* context);
    static int Take(void* owners, void* record, std::size_t size);

    socket_owners* programs = nullptr;
    ring_buffer* records = nullptr;
    Taker taker = nullptr;
    void* takerContext = nullptr;
};

} // namespace talvane
