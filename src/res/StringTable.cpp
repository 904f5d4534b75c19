#include "StringTable.h"

#include "CommandIds.h"

namespace talvane {

namespace StringTable {
namespace {

struct Entry {
    int id;
    const char* text;
};

constexpr Entry Entries[] = {
    {CommandId::BeginMonitorTool, "begin monitor\n begin monitor"},
    {CommandId::PauseMonitorTool, "pause monitor\n pause monitor"},
    {CommandId::StopMonitorTool, "stop monitor\n stop monitor"},
    {CommandId::AboutTool, "about\n about"},
    {CommandId::ClearRecordsTool, "clear\n clear"},
    {CommandId::HelpTool, "help\n help"},
};

} // namespace

std::string_view Find(int id) {
    for (const Entry& entry : Entries) {
        if (entry.id == id)
            return entry.text;
    }
    return {};
}

std::string ToolTip(int id) {
    const std::string_view text = Find(id);
    const std::size_t lineFeed = text.find('\n');
    if (lineFeed == std::string_view::npos)
        return {};
    return std::string(text.substr(0, lineFeed));
}

} // namespace StringTable

} // namespace talvane
