#pragma once

#include <QTemporaryDir>
#include <cstddef>
#include <filesystem>

namespace talvane {

// A memory file system of a few pages over a temporary folder, so that writes into it run out of
// space as on a full disk. It is mounted in a mount namespace of this process's own, which the
// machine never sees, and only as root in a process that runs no other thread.
class TinyDisk {
public:
    explicit TinyDisk(std::size_t bytes);
    ~TinyDisk();
    TinyDisk(const TinyDisk&) = delete;
    TinyDisk& operator=(const TinyDisk&) = delete;

    bool Mounted() const { return mounted; }
    std::filesystem::path Path() const { return folder.path().toStdString(); }
    // Takes every byte still free with one file of that name.
    void Fill(const std::string& name) const;

private:
    QTemporaryDir folder;
    bool mounted = false;
};

} // namespace talvane
