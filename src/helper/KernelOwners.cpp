#include "KernelOwners.h"

#include "Privileges.h"
#include "base/UniqueFd.h"
#include "helper/SocketOwners.skel.h"

#include <bpf/libbpf.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>

namespace talvane {

namespace {

// The messages of libbpf would reach the window's standard error on every start where the helper
// may not load programs; the one line Load returns says what failed instead.
int Quiet(libbpf_print_level, const char*, va_list) {
    return 0;
}

// A mount point as /proc/self/mountinfo writes it, with space, tab, newline and backslash as
// three octal digits behind a backslash.
std::string Unescaped(const std::string& field) {
    std::string plain;
    for (std::size_t at = 0; at < field.size(); ++at) {
        if (field[at] == '\\' && at + 3 < field.size()) {
            plain += static_cast<char>((field[at + 1] - '0') * 64 + (field[at + 2] - '0') * 8 +
                                       (field[at + 3] - '0'));
            at += 3;
        } else {
            plain += field[at];
        }
    }
    return plain;
}

// Where the cgroup2 hierarchy is mounted, its root preferred to a mount of one of its groups.
std::optional<std::string> CgroupRoot() {
    std::ifstream mounts("/proc/self/mountinfo");
    std::optional<std::string> found;
    for (std::string line; std::getline(mounts, line);) {
        const std::size_t separator = line.find(" - ");
        if (separator == std::string::npos || line.compare(separator + 3, 8, "cgroup2 ") != 0)
            continue;
        std::istringstream fields(line.substr(0, separator));
        std::string id, parent, device, root, point;
        if (!(fields >> id >> parent >> device >> root >> point))
            continue;
        if (root == "/")
            return Unescaped(point);
        if (!found)
            found = Unescaped(point);
    }
    return found;
}

// The cookie of this process's network namespace: interface numbers repeat across namespaces.
std::uint64_t NamespaceCookie() {
    std::uint64_t cookie = 0;
    const UniqueFd probe(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    socklen_t size = sizeof(cookie);
    if (!probe || getsockopt(probe.Get(), SOL_SOCKET, SO_NETNS_COOKIE, &cookie, &size) != 0)
        return 0;
    return cookie;
}

// The kernel lets programs read a process's name for a loader that may watch processes' work,
// which libbpf's probe of helpers does not tell from a helper the kernel lacks.
bool MayReadNames() {
    return Privileges::Holds(CAP_PERFMON) || Privileges::Holds(CAP_SYS_ADMIN);
}

std::string Failed(const std::string& step, int error) {
    return step + ": " + std::strerror(error);
}

} // namespace

KernelOwners::Loaded KernelOwners::Load(unsigned interfaceIndex) {
    libbpf_set_print(Quiet);
    const std::optional<std::string> root = CgroupRoot();
    if (!root)
        return {nullptr, "no cgroup2 mount"};
    const UniqueFd group(open(root->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!group)
        return {nullptr, Failed(*root, errno)};

    std::unique_ptr<KernelOwners> owners(new KernelOwners);
    owners->programs = socket_owners__open();
    if (owners->programs == nullptr)
        return {nullptr, Failed("opening", errno)};
    socket_owners::socket_owners__rodata& settings = *owners->programs->rodata;
    settings.interface_index = interfaceIndex;
    // Kernels that do not tell the programs a datagram's namespace let through the interface's
    // namesakes in other namespaces; one that keeps the process's name from them leaves it to
    // be read from /proc.
    const std::uint64_t namespaceCookie = NamespaceCookie();
    if (namespaceCookie != 0 &&
        libbpf_probe_bpf_helper(BPF_PROG_TYPE_CGROUP_SKB, BPF_FUNC_get_netns_cookie, nullptr) == 1)
        settings.namespace_cookie = namespaceCookie;
    settings.reads_names = MayReadNames();
    if (const int error = socket_owners__load(owners->programs); error != 0)
        return {nullptr, Failed("loading", -error)};

    const bpf_object_skeleton& skeleton = *owners->programs->skeleton;
    for (int index = 0; index < skeleton.prog_cnt; ++index) {
        const bpf_prog_skeleton& program = skeleton.progs[index];
        *program.link = bpf_program__attach_cgroup(*program.prog, group.Get());
        if (*program.link == nullptr)
            return {nullptr, Failed(std::string("attaching ") + program.name, errno)};
    }
    owners->records = ring_buffer__new(bpf_map__fd(owners->programs->maps.talvane_records), Take,
                                       owners.get(), nullptr);
    if (owners->records == nullptr)
        return {nullptr, Failed("reading the records", errno)};
    return {std::move(owners), {}};
}

KernelOwners::~KernelOwners() {
    ring_buffer__free(records);
    socket_owners__destroy(programs);
}

int KernelOwners::Descriptor() const {
    return ring_buffer__epoll_fd(records);
}

void KernelOwners::DrainWith(Taker drainTaker, void* context) {
    taker = drainTaker;
    takerContext = context;
    ring_buffer__consume(records);
}

int KernelOwners::Take(void* owners, void* record, std::size_t size) {
    const KernelOwners& self = *static_cast<const KernelOwners*>(owners);
    self.taker(self.takerContext, {static_cast<const std::uint8_t*>(record), size});
    return 0;
}

} // namespace talvane
