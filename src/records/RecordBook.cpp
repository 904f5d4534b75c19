#include "RecordBook.h"

#include "RecordTexts.h"

#include <algorithm>
#include <charconv>
#include <fcntl.h>
#include <string>

namespace talvane {

namespace {

// Beside the record files, whose names are numbers.
constexpr const char* DatagramLogName = "datagrams";

Pcapng::Direction PacketDirection(std::optional<RecordDirection> direction) {
    if (!direction)
        return Pcapng::Direction::Unknown;
    return *direction == RecordDirection::Send ? Pcapng::Direction::Outbound
                                               : Pcapng::Direction::Inbound;
}

} // namespace

RecordBook::RecordBook(std::filesystem::path directoryIn, std::unique_ptr<OwnerSource> owners)
    : directory(std::move(directoryIn)),
      folder(directory.empty()
                 ? -1
                 : open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)),
      datagrams(directory.empty() ? std::filesystem::path() : directory / DatagramLogName),
      owners(std::move(owners)) {
    // Room for a full list at once: growing it would move every entry to memory the system must
    // first map in, page by page, again at each step.
    entries.reserve(Capacity);
}

void RecordBook::Bind(const Ipv4Address& address, const std::string& interfaceName) {
    localAddress = address;
    const auto known = std::ranges::find(interfaces, interfaceName);
    boundInterface = static_cast<std::size_t>(known - interfaces.begin());
    if (known == interfaces.end())
        interfaces.push_back(interfaceName);
    std::erase_if(bindings, [&](const Binding& binding) { return binding.address == address; });
    bindings.push_back({address, boundInterface});
}

bool RecordBook::Add(const AcceptedPacket& packet) {
    const Ipv4Address seenFrom = packet.capturedOn.value_or(localAddress);
    RecordEntry made = MakeRecordEntry(packet, Count(), seenFrom, *owners);
    const auto binding = std::ranges::find(bindings, seenFrom, &Binding::address);
    made.interface = binding != bindings.end() ? binding->interface : boundInterface;
    const RecordEntry& entry = entries.emplace_back(std::move(made));
    newestPayload.assign(packet.payload.begin(), packet.payload.end());
    totalBytes += static_cast<std::uint32_t>(packet.payload.size());
    if (directory.empty())
        return false;
    comment.clear();
    if (entry.owner)
        comment.append(entry.owner->name).append(" ").append(DirectionText(entry.direction));
    datagrams.Queue({packet.captured, PacketDirection(entry.direction), comment, packet.datagram,
                     entry.owner ? entry.owner->process.pid : 0});
    waiting.push_back({entry.index,
                       RecordFile::Encode(RecordFile::Texts(entry)),
                       {packet.payload.begin(), packet.payload.end()}});
    waitingBytes += waiting.back().header.size() + packet.payload.size() + packet.datagram.size();
    return waitingBytes >= QueueLimit && Flush();
}

bool RecordBook::Flush() {
    datagrams.WriteQueued();
    bool failureBegan = false;
    for (const Waiting& record : waiting) {
        const bool failed = !(RecordFile::Write(folder.Get(), NameOf(record.index).text,
                                                record.header, record.payload) &&
                              datagrams.Holds(record.index));
        failureBegan = failureBegan || (failed && !failing);
        failing = failed;
    }
    waiting.clear();
    waitingBytes = 0;
    return failureBegan;
}

void RecordBook::Clear() {
    waiting.clear();
    waitingBytes = 0;
    datagrams.Clear();
    entries.clear();
    newestPayload.clear();
    totalBytes = 0;
}

RecordBook::FileName RecordBook::NameOf(int index) {
    FileName name{};
    std::to_chars(name.text, name.text + sizeof name.text - 1, index);
    return name;
}

std::optional<Record> RecordBook::Read(int index) const {
    if (directory.empty())
        return std::nullopt;
    return RecordFile::Read(folder.Get(), NameOf(index).text);
}

} // namespace talvane
