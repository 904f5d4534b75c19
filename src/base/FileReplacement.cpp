#include "FileReplacement.h"

#include "AllBytes.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace talvane {

namespace {

using Fault = FileReplacement::Outcome::Fault;

// The content goes out in pieces of about this size: a large export needs no more memory.
constexpr std::size_t PieceSize = std::size_t{1} << 16;

// Only a path that holds nothing yet or a regular file may be replaced. lstat neither follows a
// link nor opens what it finds, so a FIFO is judged without waiting for its other end.
Fault TargetFault(const std::filesystem::path& target) {
    struct stat status {};
    if (lstat(target.c_str(), &status) == 0)
        return S_ISREG(status.st_mode) ? Fault::None : Fault::NotARegularFile;
    return errno == ENOENT ? Fault::None : Fault::Unwritable;
}

} // namespace

FileReplacement::FileReplacement(const std::filesystem::path& targetIn) : target(targetIn) {
    outcome.fault = TargetFault(target);
    if (!outcome)
        return;
    // A hidden name in the target's folder: the rename then stays within one file system.
    newPath = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    // mkostemp makes the file new (O_EXCL) and private (0600), whatever stood in the folder.
    file = mkostemp(newPath.data(), O_CLOEXEC);
    if (file < 0) {
        newPath.clear();
        outcome.fault = Fault::Unwritable;
    }
}

FileReplacement::~FileReplacement() {
    Discard();
}

void FileReplacement::Write(std::string_view bytes) {
    if (!outcome)
        return;
    buffer += bytes;
    if (buffer.size() >= PieceSize)
        Drain();
}

void FileReplacement::Write(std::span<const std::uint8_t> bytes) {
    Write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void FileReplacement::Drain() {
    if (outcome &&
        !AllBytes::Write(
            file, std::span(reinterpret_cast<const std::uint8_t*>(buffer.data()), buffer.size())))
        outcome.fault = Fault::Unwritable;
    buffer.clear();
}

FileReplacement::Outcome FileReplacement::Finish() {
    Drain();
    if (outcome && fsync(file) != 0)
        outcome.fault = Fault::Unwritable;
    if (file >= 0 && close(std::exchange(file, -1)) != 0)
        outcome.fault = Fault::Unwritable;
    if (outcome && rename(newPath.c_str(), target.c_str()) != 0)
        outcome.fault = Fault::Unwritable;
    if (outcome)
        newPath.clear();
    Discard();
    return outcome;
}

void FileReplacement::Discard() {
    if (file >= 0)
        close(std::exchange(file, -1));
    if (!newPath.empty())
        unlink(newPath.c_str());
    newPath.clear();
}

FileReplacement::Outcome FileReplacement::Replace(const std::filesystem::path& target,
                                                  std::string_view bytes) {
    FileReplacement replacement(target);
    replacement.Write(bytes);
    return replacement.Finish();
}

} // namespace talvane
