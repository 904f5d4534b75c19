#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <sys/types.h>
#include <sys/uio.h>

namespace talvane {

// Whole transfers on a descriptor: each goes on after a short count and after a signal
// interrupted the call, until every byte has moved, the file ends or the system refuses.
namespace AllBytes {

bool Write(int fd, std::span<const std::uint8_t> bytes);
bool WriteAt(int fd, std::span<const std::uint8_t> bytes, off_t offset);
// The parts one after the other, in as few calls as the system allows.
bool WriteGathered(int fd, std::span<const iovec> parts);
// Fills bytes from offset; false when the file ends first.
bool ReadAt(int fd, std::span<std::uint8_t> bytes, off_t offset);
// Reads until bytes is full or the file ends; how many bytes came, nullopt on failure.
std::optional<std::size_t> ReadUpTo(int fd, std::span<std::uint8_t> bytes);

} // namespace AllBytes

} // namespace talvane
