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

    // Why the records may or may not be written here.
    enum class Outcome {
        Ready,
        // No runtime directory was given: records are kept without files, and nothing is amiss.
        NotGiven,
        // The runtime directory cannot be opened, or talvane or <pid> cannot be made in it.
        Unwritable,
        // talvane or <pid> is a symbolic link or no directory: someone else may have put it there.
        NotAFolder,
        // talvane or <pid> belongs to another user.
        OtherUsers,
    };
    struct Preparation {
        Outcome outcome;
        // The folder that was refused or could not be made; empty when Ready or NotGiven.
        std::filesystem::path folder;
        bool Ready() const { return outcome == Outcome::Ready; }
    };

    // Creates talvane and <pid> with mode 0700 where they are missing, makes existing ones private
    // again, and removes the folders that programs no longer running left behind. Unless Ready,
    // no record file may be written, and nothing was followed or changed through a refused one.
    Preparation Prepare();

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
