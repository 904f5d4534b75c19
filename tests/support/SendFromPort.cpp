// send_from_port UID ADDRESS PORT PEER PEER_PORT COUNT: as user UID, takes UDP port PORT of
// ADDRESS and sends COUNT datagrams "<pid> <n>" to PEER:PEER_PORT, then exits. A program of its
// own, so that a test sees a port change hands between two programs and two users.

#include <arpa/inet.h>
#include <grp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

sockaddr_in Address(const char* dotted, const char* port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(std::atoi(port)));
    return inet_pton(AF_INET, dotted, &address.sin_addr) == 1 ? address : sockaddr_in{};
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fputs("usage: send_from_port UID ADDRESS PORT PEER PEER_PORT COUNT\n", stderr);
        return 2;
    }
    const auto uid = static_cast<uid_t>(std::atoi(argv[1]));
    if (setgroups(0, nullptr) != 0 || setresgid(uid, uid, uid) != 0 ||
        setresuid(uid, uid, uid) != 0) {
        std::perror("send_from_port: becoming the user");
        return 1;
    }
    const sockaddr_in local = Address(argv[2], argv[3]);
    const sockaddr_in peer = Address(argv[4], argv[5]);
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        std::perror("send_from_port: taking the port");
        return 1;
    }
    for (int sent = 0; sent < std::atoi(argv[6]); ++sent) {
        const std::string payload = std::to_string(getpid()) + " " + std::to_string(sent);
        if (sendto(fd, payload.data(), payload.size(), 0, reinterpret_cast<const sockaddr*>(&peer),
                   sizeof peer) != static_cast<ssize_t>(payload.size())) {
            std::perror("send_from_port: sending");
            return 1;
        }
    }
    return 0;
}
