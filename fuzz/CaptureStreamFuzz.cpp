// Any bytes as the capture helper's stream: the reader stays inside them, refuses or waits for
// more rather than guess, and every message it takes is exactly what the writer makes of it.

#include "capture/CaptureStream.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

using namespace talvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exactly sized copy, so that a read past the stream's bytes is caught.
    const auto bytes = std::make_unique<std::uint8_t[]>(size);
    std::copy(data, data + size, bytes.get());
    std::span<const std::uint8_t> stream(bytes.get(), size);
    for (;;) {
        const CaptureStream::Parsed parsed = CaptureStream::Read(stream);
        if (parsed.status != CaptureStream::Parsed::Status::Complete)
            return 0;
        if (parsed.length == 0 || parsed.length > stream.size())
            std::abort();
        std::vector<std::uint8_t> written;
        CaptureStream::Write(parsed.message, written);
        if (!std::ranges::equal(written, stream.first(parsed.length)))
            std::abort();
        stream = stream.subspan(parsed.length);
    }
}
