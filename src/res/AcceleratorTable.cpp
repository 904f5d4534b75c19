#include "AcceleratorTable.h"

#include "CommandIds.h"

#include <QtCore/qnamespace.h>

namespace talvane {

namespace {

using enum Accelerator::Modifiers;

constexpr Accelerator Entries[] = {
    {Qt::Key_A, None, CommandId::About},
    {Qt::Key_A, Ctrl, CommandId::SaveAll},
    {Qt::Key_A, CtrlShift, CommandId::ExportAllPcapng},
    {Qt::Key_B, None, CommandId::BeginMonitor},
    {Qt::Key_C, None, CommandId::ClearRecords},
    {Qt::Key_C, Ctrl, CommandId::CopyDump},
    {Qt::Key_D, Ctrl, CommandId::InterfaceLibrary},
    {Qt::Key_E, Ctrl, CommandId::EditFilter},
    {Qt::Key_P, None, CommandId::PauseMonitor},
    {Qt::Key_S, None, CommandId::StopMonitor},
    {Qt::Key_S, Ctrl, CommandId::SaveSelected},
    {Qt::Key_S, CtrlShift, CommandId::ExportSelectedPcapng},
    {Qt::Key_F1, None, CommandId::Help},
    {Qt::Key_X, None, CommandId::Exit},
};

} // namespace

const std::span<const Accelerator> AcceleratorTable{Entries};

} // namespace talvane
