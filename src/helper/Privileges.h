#pragma once

namespace talvane {

// What the capture helper does so that it holds its privileges only while it opens its capture:
// each step answers whether it worked.
namespace Privileges {

// Nothing this process runs gains privileges from a file's capabilities or set-id bits.
bool ForbidNewPrivileges();
// The kernel ends this process when the thread that started it ends.
bool DieWithParent();
// Every open descriptor is closed should this process ever run another program.
bool CloseOnExec();
// The capability is in this process's effective set.
bool Holds(int capability);
// Empties the effective, permitted, inheritable and ambient capability sets, and the bounding set
// where this process may (it needs a capability of its own for that); true when the process then
// holds no capability.
bool DropAll();

} // namespace Privileges

} // namespace talvane
