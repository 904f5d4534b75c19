// Any bytes read as a record file: the reader stays inside them, and what it reads can be shown,
// exported and written back.

#include "records/HexDump.h"
#include "records/RecordExport.h"
#include "records/RecordFile.h"

#include <cstdlib>
#include <memory>

using namespace talvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exactly sized copy, so that a read past the file's bytes is caught.
    const auto bytes = std::make_unique<std::uint8_t[]>(size);
    std::copy(data, data + size, bytes.get());
    const Record record = RecordFile::Decode({bytes.get(), size});
    if (record.payload.size() > size)
        std::abort();
    HexDump(record.payload, 16);
    HexDump(record.payload, 32);
    RecordExportText(record.header, record.payload);

    std::string file = RecordFile::Encode(record.header);
    if (static_cast<std::uint8_t>(file[0]) != file.size())
        std::abort();
    file.append(record.payload.begin(), record.payload.end());
    const Record again =
        RecordFile::Decode({reinterpret_cast<const std::uint8_t*>(file.data()), file.size()});
    if (again.payload != record.payload)
        std::abort();
    return 0;
}
