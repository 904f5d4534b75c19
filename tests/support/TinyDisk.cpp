#include "TinyDisk.h"

#include <fcntl.h>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <unistd.h>
#include <vector>

namespace talvane {

TinyDisk::TinyDisk(std::size_t bytes) {
    if (geteuid() != 0 || !folder.isValid())
        return;
    // Private propagation keeps the mount from reaching the machine's own namespace.
    if (unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return;
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
    mounted = mount("tinydisk", Path().c_str(), "tmpfs", 0, options.c_str()) == 0;
}

TinyDisk::~TinyDisk() {
    if (mounted)
        umount2(Path().c_str(), MNT_DETACH);
}

void TinyDisk::Fill(const std::string& name) const {
    const int file = open((Path() / name).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    const std::vector<char> block(4096, 'f');
    while (file >= 0 && write(file, block.data(), block.size()) > 0) {
    }
    if (file >= 0)
        close(file);
}

} // namespace talvane
