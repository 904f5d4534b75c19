#include "Privileges.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <linux/close_range.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace talvane {

namespace Privileges {

namespace {

bool CapabilitySets(__user_cap_data_struct (&sets)[_LINUX_CAPABILITY_U32S_3], bool write) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(write ? SYS_capset : SYS_capget, &header, sets) == 0;
}

// Where close_range cannot mark them (kernels before 5.11), each descriptor is marked alone.
bool MarkEachListed() {
    DIR* listing = opendir("/proc/self/fd");
    if (listing == nullptr)
        return false;
    bool marked = true;
    while (const dirent* entry = readdir(listing)) {
        const int fd = std::atoi(entry->d_name);
        if (entry->d_name[0] != '.' && fd != dirfd(listing))
            marked = fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) | FD_CLOEXEC) == 0 && marked;
    }
    closedir(listing);
    return marked;
}

} // namespace

bool ForbidNewPrivileges() {
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0;
}

bool DieWithParent() {
    return prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0) == 0;
}

bool CloseOnExec() {
    return close_range(0, UINT_MAX, CLOSE_RANGE_CLOEXEC) == 0 || MarkEachListed();
}

bool Holds(int capability) {
    __user_cap_data_struct sets[_LINUX_CAPABILITY_U32S_3] = {};
    return CapabilitySets(sets, false) &&
           (sets[CAP_TO_INDEX(capability)].effective & CAP_TO_MASK(capability)) != 0;
}

bool DropAll() {
    // The bounding set first: dropping from it takes CAP_SETPCAP, which goes with the rest.
    for (int capability = 0; prctl(PR_CAPBSET_READ, capability, 0, 0, 0) >= 0; ++capability)
        prctl(PR_CAPBSET_DROP, capability, 0, 0, 0);
    prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    __user_cap_data_struct sets[_LINUX_CAPABILITY_U32S_3] = {};
    if (!CapabilitySets(sets, true) || !CapabilitySets(sets, false))
        return false;
    for (const __user_cap_data_struct& set : sets) {
        if (set.effective != 0 || set.permitted != 0 || set.inheritable != 0)
            return false;
    }
    return true;
}

} // namespace Privileges

} // namespace talvane
