#include "AcceleratorTable.h"

#include "CommandIds.h"

#include <QtCore/qnamespace.h>

namespace talvane {

namespace {

constexpr Accelerator Entries[] = {
    {Qt::Key_A, false, CommandId::About},        {Qt::Key_A, true, CommandId::SaveAll},
    {Qt::Key_B, false, CommandId::BeginMonitor}, {Qt::Key_C, false, CommandId::ClearRecords},
    {Qt::Key_C, true, CommandId::CopyDump},      {Qt::Key_D, true, CommandId::InterfaceLibrary},
    {Qt::Key_E, true, CommandId::EditFilter},    {Qt::Key_P, false, CommandId::PauseMonitor},
    {Qt::Key_S, false, CommandId::StopMonitor},  {Qt::Key_S, true, CommandId::SaveSelected},
    {Qt::Key_F1, false, CommandId::Help},        {Qt::Key_X, false, CommandId::Exit},
};

} // namespace

const std::span<const Accelerator> AcceleratorTable{Entries};

} // namespace talvane
