#pragma once

#include <filesystem>

// The tempfiles directory beside the executable, which holds one file per record. The files hold
// captured payloads, so the directory is private to the user.
class RecordDirectory {
public:
    explicit RecordDirectory(const std::filesystem::path& programDirectory)
        : path(programDirectory / "tempfiles") {}

    const std::filesystem::path& Path() const { return path; }

    // Creates the directory with mode 0700 when it does not exist, and makes an existing one
    // private again. Failures are silent: record files then simply cannot be written.
    void Prepare() const;

    // Deletes every file in the directory, also those an earlier run left behind. A file that
    // cannot be removed stays until the next exit; the others are removed all the same.
    void RemoveRecordFiles() const;

private:
    std::filesystem::path path;
};
