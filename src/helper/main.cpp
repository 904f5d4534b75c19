// talvane-capture: the one part of Talvane that may capture. The window starts it for one
// interface and reads its capture from standard output; it gives up every privilege once its
// capture is open and its kernel programs attached, before it reads a frame or a byte from the
// window.

#include "CaptureHandle.h"
#include "CaptureRelay.h"
#include "KernelOwners.h"
#include "Privileges.h"

#include <net/if.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    using namespace talvane;
    CaptureRelay relay(STDOUT_FILENO);
    if (!Privileges::ForbidNewPrivileges() || !Privileges::DieWithParent()) {
        relay.Fail("cannot restrict this process");
        return 1;
    }
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fputs("usage: talvane-capture INTERFACE\n"
                   "Captures the IPv4 frames of INTERFACE for the Talvane window, which starts "
                   "it;\nthe capture goes to standard output.\n",
                   stderr);
        return 2;
    }
    CaptureHandle::Opened opened = CaptureHandle::Open(argv[1]);
    // Without its kernel programs the helper still captures; the window then names programs as
    // far as it can find them itself.
    KernelOwners::Loaded kernelOwners;
    if (opened.handle) {
        kernelOwners = KernelOwners::Load(if_nametoindex(argv[1]));
        if (!kernelOwners.owners)
            std::fprintf(stderr, "talvane-capture: kernel owners: %s\n",
                         kernelOwners.error.c_str());
    }
    if (!Privileges::CloseOnExec() || !Privileges::DropAll()) {
        relay.Fail("cannot give up its privileges");
        return 1;
    }
    // A window gone is a failed write, not a signal.
    signal(SIGPIPE, SIG_IGN);
    if (!opened.handle) {
        relay.Fail(opened.error);
        return 1;
    }
    return relay.Run(*opened.handle, kernelOwners.owners.get(), kernelOwners.error);
}
