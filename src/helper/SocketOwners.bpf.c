// The capture helper's kernel programs: they tell which process made each IPv4 or IPv6 socket,
// which port it took, which connection a listener accepted, when it went away, and which socket
// each IPv4 datagram on the captured interface passed. Attached to the root of the cgroup2
// hierarchy, they see every socket of the system. They never refuse a socket or drop a datagram.

#include <linux/bpf.h>
#include <linux/if_ether.h>
#include <linux/in.h>
#include <linux/ip.h>

#include <bpf/bpf_core_read.h>
#include <bpf/bpf_endian.h>
#include <bpf/bpf_helpers.h>

#include "capture/SocketEvents.h"

char LICENSE[] SEC("license") = "GPL";

// At 120,000 datagrams a second a packet record each, 8 MiB holds about 50 ms of records: time
// enough for the helper to come round to them between two reads of its capture.
struct {
    __uint(type, BPF_MAP_TYPE_RINGBUF);
    __uint(max_entries, 8 << 20);
} talvane_records SEC(".maps");

// Set before loading: the captured interface, in the helper's own network namespace (interface
// numbers repeat across namespaces), and whether the kernel lets these programs read a process's
// name.
const volatile __u32 interface_index = 0;
const volatile __u64 namespace_cookie = 0;
const volatile __u8 reads_names = 0;

// The few kernel structures on the way from a task to its executable's name; the loader finds
// their members in the running kernel's type information, wherever its build put them.
struct qstr {
    const unsigned char* name;
} __attribute__((preserve_access_index));
struct dentry {
    struct qstr d_name;
} __attribute__((preserve_access_index));
struct path {
    struct dentry* dentry;
} __attribute__((preserve_access_index));
struct file {
    struct path f_path;
} __attribute__((preserve_access_index));
struct mm_struct {
    struct file* exe_file;
} __attribute__((preserve_access_index));
struct task_struct {
    struct mm_struct* mm;
} __attribute__((preserve_access_index));

// A record of that kind, zeroed but for its kind: ring buffer memory holds earlier records.
static __always_inline void* Reserve(__u64 size, __u32 kind) {
    __u32* record = bpf_ringbuf_reserve(&talvane_records, size, 0);
    if (!record)
        return 0;
    __builtin_memset(record, 0, size);
    *record = kind;
    return record;
}

static __always_inline struct talvane_socket_event* SocketRecord(__u32 kind, __u64 cookie) {
    struct talvane_socket_event* record = Reserve(sizeof(*record), kind);
    if (record)
        record->cookie = cookie;
    return record;
}

// The executable's file name, as /proc/<pid>/exe names it, else the command name: read here, in
// the process, it is there however soon the process ends and whoever's it is.
static __always_inline void ReadName(char* name, __u32 size) {
    struct task_struct* task = (struct task_struct*)bpf_get_current_task();
    const unsigned char* file = BPF_CORE_READ(task, mm, exe_file, f_path.dentry, d_name.name);
    if (!file || bpf_probe_read_kernel_str(name, size, file) <= 1)
        bpf_get_current_comm(name, size);
}

// Only where the kernel keeps names from the programs is the helper woken at once, to read what it
// needs of the process while the process lives.
SEC("cgroup/sock_create")
int talvane_made(struct bpf_sock* socket) {
    struct talvane_socket_event* record =
        SocketRecord(TALVANE_SOCKET_MADE, bpf_get_socket_cookie(socket));
    if (!record)
        return 1;
    record->pid = bpf_get_current_pid_tgid() >> 32;
    record->uid = (__u32)bpf_get_current_uid_gid();
    if (reads_names)
        ReadName(record->name, sizeof(record->name));
    bpf_ringbuf_submit(record, reads_names ? BPF_RB_NO_WAKEUP : BPF_RB_FORCE_WAKEUP);
    return 1;
}

// Ports, accepted connections and releases wake nobody: nothing about them has to be read from
// the system while it lasts, and the helper reads them in order before the datagrams that follow
// them, whose capture wakes it.
static __always_inline int Bound(struct bpf_sock* socket) {
    struct talvane_socket_event* record =
        SocketRecord(TALVANE_SOCKET_BOUND, bpf_get_socket_cookie(socket));
    if (!record)
        return 1;
    record->port = socket->src_port;
    record->protocol = socket->protocol;
    bpf_ringbuf_submit(record, BPF_RB_NO_WAKEUP);
    return 1;
}

SEC("cgroup/post_bind4")
int talvane_bound4(struct bpf_sock* socket) {
    return Bound(socket);
}

SEC("cgroup/post_bind6")
int talvane_bound6(struct bpf_sock* socket) {
    return Bound(socket);
}

SEC("sockops")
int talvane_accept(struct bpf_sock_ops* operation) {
    if (operation->op != BPF_SOCK_OPS_PASSIVE_ESTABLISHED_CB)
        return 1;
    struct talvane_socket_event* record =
        SocketRecord(TALVANE_SOCKET_ACCEPTED, bpf_get_socket_cookie(operation));
    if (!record)
        return 1;
    record->port = operation->local_port;
    record->protocol = IPPROTO_TCP;
    bpf_ringbuf_submit(record, BPF_RB_NO_WAKEUP);
    return 1;
}

SEC("cgroup/sock_release")
int talvane_release(struct bpf_sock* socket) {
    struct talvane_socket_event* record =
        SocketRecord(TALVANE_SOCKET_RELEASED, bpf_get_socket_cookie(socket));
    if (record)
        bpf_ringbuf_submit(record, BPF_RB_NO_WAKEUP);
    return 1;
}

enum { TransportBytes = sizeof(((struct talvane_packet_event*)0)->transport) };
// SOCK_RAW, which no header for the kernel's programs defines.
enum { RawSocket = 3 };
// The IP header's fragment offset, beside its flags.
enum { FragmentOffset = 0x1fff };

// Wakes nobody: the capture of the same datagram wakes the helper.
static __always_inline int Packet(struct __sk_buff* packet, __u8 direction) {
    // Traffic on other interfaces costs one comparison.
    if (packet->ifindex != interface_index || packet->protocol != bpf_htons(ETH_P_IP))
        return 1;
    // Zero where the kernel cannot tell the namespace: the call is then never made (the verifier
    // skips it), and the interface's namesakes in other namespaces pass too.
    if (namespace_cookie != 0 && bpf_get_netns_cookie(packet) != namespace_cookie)
        return 1;
    struct iphdr header;
    if (bpf_skb_load_bytes(packet, 0, &header, sizeof(header)) < 0)
        return 1;
    const __u32 headerLength = header.ihl * 4;
    if (headerLength < sizeof(header) || headerLength > packet->len)
        return 1;

    struct talvane_packet_event* record = Reserve(sizeof(*record), TALVANE_PACKET);
    if (!record)
        return 1;
    record->direction = direction;
    record->protocol = header.protocol;
    record->fragment = header.frag_off;
    record->cookie = bpf_get_socket_cookie(packet);
    struct bpf_sock* socket = packet->sk;
    if (socket)
        socket = bpf_sk_fullsock(socket);
    record->raw_socket = socket && socket->type == RawSocket;
    record->source = header.saddr;
    record->destination = header.daddr;
    record->id = header.id;
    record->length = packet->len - headerLength;
    // Only a datagram's first fragment starts with the transport header.
    if (!(header.frag_off & bpf_htons(FragmentOffset))) {
        __u64 present = record->length;
        // The verifier checks the bounds below itself, where the compiler cannot merge them.
        asm volatile("" : "+r"(present));
        if (present > TransportBytes)
            present = TransportBytes;
        if (present > 0)
            bpf_skb_load_bytes(packet, headerLength, record->transport, present);
    }
    bpf_ringbuf_submit(record, BPF_RB_NO_WAKEUP);
    return 1;
}

SEC("cgroup_skb/egress")
int talvane_egress(struct __sk_buff* packet) {
    return Packet(packet, TALVANE_SENT);
}

SEC("cgroup_skb/ingress")
int talvane_ingress(struct __sk_buff* packet) {
    return Packet(packet, TALVANE_RECEIVED);
}
