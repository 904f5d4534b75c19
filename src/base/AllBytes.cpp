#include "AllBytes.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <unistd.h>

namespace talvane::AllBytes {

namespace {

struct Moved {
    std::size_t count = 0;
    bool failed = false;
};

// Calls step with how many bytes have moved until all length have; the one place where an
// interrupted call is made again.
template <typename Step> Moved Transfer(std::size_t length, Step step) {
    Moved moved;
    while (moved.count < length) {
        const ssize_t count = step(moved.count);
        if (count < 0 && errno == EINTR)
            continue;
        moved.failed = count < 0;
        if (count <= 0)
            break;
        moved.count += static_cast<std::size_t>(count);
    }
    return moved;
}

} // namespace

bool Write(int fd, std::span<const std::uint8_t> bytes) {
    return Transfer(bytes.size(), [&](std::size_t done) {
               return write(fd, bytes.data() + done, bytes.size() - done);
           }).count == bytes.size();
}

bool WriteAt(int fd, std::span<const std::uint8_t> bytes, off_t offset) {
    return Transfer(bytes.size(), [&](std::size_t done) {
               return pwrite(fd, bytes.data() + done, bytes.size() - done,
                             offset + static_cast<off_t>(done));
           }).count == bytes.size();
}

bool WriteGathered(int fd, std::span<const iovec> parts) {
    constexpr std::size_t MostParts = 8;
    std::size_t length = 0;
    for (const iovec& part : parts)
        length += part.iov_len;
    return Transfer(length, [&](std::size_t done) -> ssize_t {
               // The parts from where the last call stopped.
               std::array<iovec, MostParts> rest{};
               int count = 0;
               for (const iovec& part : parts) {
                   if (done >= part.iov_len) {
                       done -= part.iov_len;
                       continue;
                   }
                   if (count == static_cast<int>(MostParts))
                       break;
                   rest[static_cast<std::size_t>(count++)] = {
                       static_cast<char*>(part.iov_base) + done, part.iov_len - done};
                   done = 0;
               }
               return writev(fd, rest.data(), count);
           }).count == length;
}

bool ReadAt(int fd, std::span<std::uint8_t> bytes, off_t offset) {
    return Transfer(bytes.size(), [&](std::size_t done) {
               return pread(fd, bytes.data() + done, bytes.size() - done,
                            offset + static_cast<off_t>(done));
           }).count == bytes.size();
}

std::optional<std::size_t> ReadUpTo(int fd, std::span<std::uint8_t> bytes) {
    const Moved moved = Transfer(bytes.size(), [&](std::size_t done) {
        return read(fd, bytes.data() + done, bytes.size() - done);
    });
    return moved.failed ? std::nullopt : std::optional(moved.count);
}

} // namespace talvane::AllBytes
