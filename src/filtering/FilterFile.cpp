#include "FilterFile.h"

#include "res/MessageTexts.h"

#include <array>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace talvane {

namespace {

constexpr std::uint8_t LongLength = 0xFF;
constexpr std::uint16_t LongerLength = 0xFFFF;

void AppendLittleEndian(std::string& bytes, std::uint32_t value, int size) {
    for (int index = 0; index < size; ++index)
        bytes.push_back(static_cast<char>(value >> (8 * index) & 0xFF));
}

void AppendText(std::string& bytes, const std::string& text) {
    const std::size_t length = text.size();
    if (length < LongLength) {
        AppendLittleEndian(bytes, static_cast<std::uint32_t>(length), 1);
    } else if (length < LongerLength - 1) {
        AppendLittleEndian(bytes, LongLength, 1);
        AppendLittleEndian(bytes, static_cast<std::uint32_t>(length), 2);
    } else {
        AppendLittleEndian(bytes, LongLength, 1);
        AppendLittleEndian(bytes, LongerLength, 2);
        AppendLittleEndian(bytes, static_cast<std::uint32_t>(length), 4);
    }
    bytes += text;
}

// Reads from the front of a byte view, refusing to read past its end.
class Reader {
public:
    explicit Reader(std::string_view bytes) : rest(bytes) {}

    std::optional<std::uint32_t> LittleEndian(int size) {
        if (rest.size() < static_cast<std::size_t>(size))
            return std::nullopt;
        std::uint32_t value = 0;
        for (int index = 0; index < size; ++index)
            value |= std::uint32_t(static_cast<std::uint8_t>(rest[index])) << (8 * index);
        rest.remove_prefix(static_cast<std::size_t>(size));
        return value;
    }

    std::optional<std::string> Text() {
        std::optional<std::uint32_t> length = LittleEndian(1);
        if (length == LongLength) {
            length = LittleEndian(2);
            if (length == LongerLength)
                length = LittleEndian(4);
        }
        if (!length || rest.size() < *length)
            return std::nullopt;
        std::string text(rest.substr(0, *length));
        rest.remove_prefix(*length);
        return text;
    }

private:
    std::string_view rest;
};

using File = std::unique_ptr<std::FILE, decltype(&std::fclose)>;

// Settings files are opened without waiting, not even for the other end of a FIFO.
constexpr int OpenFlags = O_NONBLOCK | O_CLOEXEC;

// The stream over an open descriptor, only when it is a regular file: a FIFO, a device or a
// directory could block the window or never end. The descriptor is closed otherwise.
File RegularFile(int descriptor, const char* mode) {
    struct stat status {};
    std::FILE* file = nullptr;
    if (descriptor >= 0 && fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode))
        file = fdopen(descriptor, mode);
    if (file == nullptr && descriptor >= 0)
        close(descriptor);
    return {file, &std::fclose};
}

} // namespace

std::string FilterFile::Encode(const FilterSettings& settings) {
    std::string bytes;
    for (std::int32_t value : {settings.filterBroadcast, settings.filterLan, settings.monitorUdp,
                               settings.monitorTcp, settings.monitorLan})
        AppendLittleEndian(bytes, static_cast<std::uint32_t>(value), 4);
    for (const std::string* text :
         {&settings.filterLocalPortText, &settings.filterRemotePortText, &settings.filterIpText,
          &settings.monitorLocalPortText, &settings.monitorRemotePortText, &settings.monitorIpText})
        AppendText(bytes, *text);
    return bytes;
}

std::optional<FilterSettings> FilterFile::Decode(std::string_view bytes) {
    Reader reader(bytes);
    FilterSettings settings;
    for (std::int32_t* value : {&settings.filterBroadcast, &settings.filterLan,
                                &settings.monitorUdp, &settings.monitorTcp, &settings.monitorLan}) {
        const std::optional<std::uint32_t> read = reader.LittleEndian(4);
        if (!read)
            return std::nullopt;
        *value = static_cast<std::int32_t>(*read);
    }
    for (std::string* text : {&settings.filterLocalPortText, &settings.filterRemotePortText,
                              &settings.filterIpText, &settings.monitorLocalPortText,
                              &settings.monitorRemotePortText, &settings.monitorIpText}) {
        std::optional<std::string> read = reader.Text();
        if (!read)
            return std::nullopt;
        *text = std::move(*read);
    }
    return settings;
}

FileReplacement::Outcome FilterFile::Save(const std::filesystem::path& path,
                                          const FilterSettings& settings) {
    return FileReplacement::Replace(path, Encode(settings));
}

FilterFile::ReadResult FilterFile::Load(const std::filesystem::path& path,
                                        FilterSettings& settings) {
    const int descriptor = open(path.c_str(), O_RDONLY | OpenFlags);
    if (descriptor < 0)
        return ReadResult::Missing;
    const File file = RegularFile(descriptor, "rb");
    if (!file)
        return ReadResult::Damaged;
    // Read in pieces up to one byte more than a settings file may hold: a larger one is damaged,
    // even one that grows while it is read.
    std::string bytes;
    std::array<char, 65536> piece{};
    while (const std::size_t count = std::fread(piece.data(), 1, piece.size(), file.get())) {
        bytes.append(piece.data(), count);
        if (bytes.size() > MaximumFileSize)
            return ReadResult::Damaged;
    }
    if (std::ferror(file.get()))
        return ReadResult::Damaged;
    std::optional<FilterSettings> read = Decode(bytes);
    if (!read)
        return ReadResult::Damaged;
    settings = std::move(*read);
    return ReadResult::Loaded;
}

FilterFile::LoadReport FilterFile::LoadAndReport(const std::filesystem::path& path,
                                                 FilterSettings& settings) {
    switch (Load(path, settings)) {
    case ReadResult::Loaded:
        return {true, {}};
    case ReadResult::Damaged:
        return {false, MessageTexts::FilterFileDamaged + path.string()};
    case ReadResult::Missing:
        break;
    }
    return {};
}

} // namespace talvane
