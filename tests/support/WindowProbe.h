#pragma once

#include "ui/MainWindow.h"

namespace talvane {

// What tests and benchmarks see inside a main window, which shows it to no one else: its
// commands and controls, its monitor session, its record panel and its dialogs.
class WindowProbe {
public:
    explicit WindowProbe(MainWindow& window) : window(window) {}

    void RunCommand(int commandId) const { window.RunCommand(commandId); }
    QAction* Action(int commandId) const { return window.Action(commandId); }
    template <typename W = QWidget> W* Control(int controlId) const {
        return window.Control<W>(controlId);
    }
    QComboBox* AddressCombo() const { return window.AddressCombo(); }
    ImageToolBar* ToolBar() const { return window.toolBar; }
    StatusBar* Status() const { return window.statusBar; }
    QWidget* ClientArea() const { return window.client; }
    MonitorSession& Session() const { return window.session; }
    RecordView& RecordsView() const { return *window.recordView; }
    // Null until the first Help.
    HelpWindow* Help() const { return window.helpWindow.get(); }
    InterfaceLibraryDialog& InterfaceLibrary() const { return window.interfaceLibrary; }
    // The packet path of a datagram as the capture hands it over, classified against the
    // selected address.
    void HandleDatagram(std::span<const std::uint8_t> datagram, CaptureTime captured) const {
        window.HandleDatagram(datagram, captured, {}, std::nullopt);
    }

private:
    MainWindow& window;
};

} // namespace talvane
