#pragma once

#include "base/UniqueFd.h"

#include <filesystem>
#include <string>
#include <sys/types.h>

namespace talvane {

// The folder talvane/<pid> in the user's runtime directory, which holds one file per record of
// this running program. The files hold captured payloads and matter only while the program runs,
// so the folder is private to the user, apart from every other running copy, and gone at exit.
// The program holds an advisory lock on it for as long as it runs, by which every other copy,
// whatever PID namespace it runs in, tells it from one left behind.
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
    // again, removes the folders whose lock no running copy holds, and locks its own until the
    // object goes. Where another copy holds <pid> (same id, other PID namespace), the folder is
    // <pid>-1, -2 and so on, which Path then gives. Unless Ready, no record file may be written,
    // and nothing was followed or changed through a refused one.
    Preparation Prepare();

    // Removes this program's folder with every file in it; talvane stays for the other copies.
    // Does nothing unless Prepare succeeded. A file that cannot be removed keeps the folder,
    // which the next start finds stale.
    void Remove() const;

private:
    std::filesystem::path runtimeDirectory;
    std::string pidName;
    // The folder's own name inside talvane.
    std::string name;
    std::filesystem::path path;
    // The folder, open and locked once prepared.
    UniqueFd lock;
};

} // namespace talvane
