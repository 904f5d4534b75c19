#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace talvane {

// The whole new content of a file the user names. It is written to a new private file (0600)
// beside the target, synced, and renamed over the target only once complete: a full disk or a
// crash leaves the old file as it was, and no other user can read what is written. The target
// itself is never opened, so a FIFO or a device at its path cannot block the program; only a
// regular file or nothing is replaced, and a symbolic link is refused, never written through.
class FileReplacement {
public:
    // How the replacement ended; true when the target holds the new content whole.
    struct Outcome {
        enum class Fault {
            None,
            // A FIFO, device, directory, symbolic link or anything else but a regular file is at
            // the target's path.
            NotARegularFile,
            // The new file could not be made, written, synced or renamed: the target is as it was.
            Unwritable,
        };
        Fault fault = Fault::None;
        explicit operator bool() const { return fault == Fault::None; }
    };

    explicit FileReplacement(const std::filesystem::path& target);
    // Removes the new file unless Finish put it in place.
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Appends to the new content. A write that fails is found by Finish.
    void Write(std::string_view bytes);
    void Write(std::span<const std::uint8_t> bytes);
    // Writes what is still buffered, syncs the new file and renames it over the target.
    Outcome Finish();

    // Replaces the target with bytes.
    static Outcome Replace(const std::filesystem::path& target, std::string_view bytes);

private:
    // Writes the buffer out; a failure makes the whole replacement fail.
    void Drain();
    void Discard();

    std::filesystem::path target;
    std::string newPath;
    int file = -1;
    std::string buffer;
    Outcome outcome;
};

} // namespace talvane
