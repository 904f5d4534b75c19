#include "ToolBarTemplate.h"

#include "CommandIds.h"

namespace talvane {

namespace ToolBarTemplate {
namespace {

constexpr int Ids[] = {
    CommandId::BeginMonitorTool, CommandId::PauseMonitorTool, CommandId::StopMonitorTool,
    CommandId::ClearRecordsTool, CommandId::AboutTool,        CommandId::HelpTool,
};

struct Strip {
    int bitmapId;
    const char* path;
};

constexpr Strip Strips[] = {
    {DefaultStrip, ":/images/toolbar131.png"},
    {NormalStrip, ":/images/toolbar134.png"},
    {DisabledStrip, ":/images/toolbar135.png"},
};

} // namespace

const std::span<const int> Buttons{Ids};

const char* StripPath(int bitmapId) {
    for (const Strip& strip : Strips) {
        if (strip.bitmapId == bitmapId)
            return strip.path;
    }
    return nullptr;
}

} // namespace ToolBarTemplate

} // namespace talvane
