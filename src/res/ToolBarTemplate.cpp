#include "ToolBarTemplate.h"

#include "CommandIds.h"

namespace ToolBarTemplate {
namespace {

constexpr int Ids[] = {
    CommandId::BeginMonitorTool, CommandId::PauseMonitorTool, CommandId::StopMonitorTool,
    CommandId::ClearRecordsTool, CommandId::AboutTool,        CommandId::HelpTool,
};

} // namespace

const std::span<const int> Buttons{Ids};

} // namespace ToolBarTemplate
