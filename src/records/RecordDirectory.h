#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>

namespace talvane {

// The folder talvane/<pid> in the user's runtime directory, which holds one file per record of
// this running program. The files hold captured payloads and matter only while the program runs,
// so the folder is private to the user, apart from every other running copy, and gone at exit.
class RecordDirectory {
public:
    RecordDirectory(const std::filesystem::path& runtimeDirectory, pid_t pid);

    const std::filesystem::path& Path() const { return path; }

    // Creates talvane and <pid> with mode 0700 where they are missing, makes existing ones private
    // again, and removes the folders that programs no longer running left behind. Returns false
    // when the runtime directory is not an absolute path that can be opened, or when talvane or
    // <pid> cannot be made or is a symbolic link, not a directory or another user's: no record
    // file may then be written. The failure is silent.
    bool Prepare();

    // Removes this program's folder with every file in it; talvane stays for the other copies.
    // Does nothing unless Prepare succeeded. A file that cannot be removed keeps the folder,
    // which the next start finds stale.
    void Remove() const;

private:
    std::filesystem::path runtimeDirectory;
    std::string pidName;
    std::filesystem::path path;
    bool prepared = false;
};

} // namespace talvane
