#pragma once

#include "DisplayBeat.h"
#include "MonitorSession.h"
#include "ResizeLayout.h"
#include "capture/CaptureSource.h"
#include "capture/DatagramSink.h"
#include "capture/Handover.h"
#include "capture/Ipv4Address.h"
#include "dialogkit/ControlMap.h"
#include "dialogkit/UserPrompts.h"
#include "help/InterfaceLibraryDialog.h"
#include "records/RecordDirectory.h"

#include <QDialog>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class QAction;
class QComboBox;
class QMenuBar;

namespace talvane {

class HelpWindow;
class RecordBook;
class RecordView;
class ImageToolBar;
class StatusBar;
class WindowHandover;

// The program's one window: the record list, the data view, the address list, menus, tool bar
// and status bar. It routes every command and receives every captured datagram.
class MainWindow : public QDialog, private DatagramSink {
    Q_OBJECT

public:
    // What the window takes from the machine it runs on.
    struct Environment {
        // The program's read-only data: help.html and the factory settings, filters/default.ft.
        std::filesystem::path dataDirectory;
        // The user's own settings: filters/last.ft below it, made when first saved.
        std::filesystem::path settingsDirectory;
        // The user's runtime directory, in memory; the record files live in talvane/<pid> below
        // it. Records are not kept when it is empty.
        std::filesystem::path runtimeDirectory;
        std::function<std::vector<Ipv4Address>()> hostAddresses;
        // Opens the captures the window monitors, whose datagrams come through the hand-over.
        std::function<std::unique_ptr<CaptureSource>(Handover& handover)> makeCapture;
        UserPrompts::ShowMessage showMessage;
        UserPrompts::ChooseFile chooseFile;
        // The display's beat, which also drives the elapsed clock.
        DisplayBeat::TickSource startBeat = DisplayBeat::TimerTicks;

        static Environment OfThisProcess();
        // As for this program installed in executableDirectory: its data and its capture helper
        // beside it in a build tree, else in ../share/talvane and ../libexec/talvane.
        static Environment OfProgramIn(const std::filesystem::path& executableDirectory);
    };

    explicit MainWindow(Environment environment);
    ~MainWindow() override;

    // The record files, which the program removes when it ends by a signal.
    const RecordDirectory& Records() const { return recordDirectory; }

signals:
    // A datagram has been handed over and classified; emitted while the worker waits, the bytes
    // valid until the slot returns.
    void DatagramArrived(std::span<const std::uint8_t> datagram, CaptureTime captured);

public slots:
    void accept() override;
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Tests and benchmarks reach the controls, the commands and the session through it.
    friend class WindowProbe;

    enum class Enablement { Always, WhenCanBegin, WhenCanPause, WhenCanStop };
    struct CommandRoute {
        int commandId;
        void (MainWindow::*handler)();
        Enablement enabled;
    };
    static const CommandRoute CommandTable[];
    static const CommandRoute* FindRoute(int commandId);

    // Runs a command as its menu item, tool bar button or shortcut does: a disabled command does
    // nothing.
    void RunCommand(int commandId);
    bool CommandEnabled(int commandId) const;
    QAction* Action(int commandId) const;
    // The control of the window with this id, as the type it was built as.
    template <typename W = QWidget> W* Control(int controlId) const {
        return controls.Get<W>(controlId);
    }
    QComboBox* AddressCombo() const;

    // The packet path of one datagram handed over by the worker: the record limit,
    // classification against the address of the capture that took it (without one, the selected
    // address) and the record store.
    void HandleDatagram(std::span<const std::uint8_t> datagram, CaptureTime captured,
                        const DatagramOwners& owners, std::optional<Ipv4Address> captureAddress);

    void BeginMonitor();
    void PauseMonitor();
    void StopMonitor();
    // Re-reads filters/last.ft into the active filter, or empties it while check box 1015 is
    // cleared.
    void ReloadActiveFilter();
    void EditFilter();
    // Empties the record list; the filtered-datagram figure stays as it was.
    void ClearRecords();

    enum class SizeType { Restored, Minimized, Maximized };
    // Maximising shows the dump 32 bytes a line, any other size change 16; the controls follow
    // the client area's size but for a minimised window.
    void OnSize(SizeType type, QSize clientSize);

    // The window's own title for a monitored address.
    static QString TitleFor(const Ipv4Address* address);

    void OnInitDialog();
    void SetWindowIcon();
    void CreateMenuBar();
    void CreateControlBars();
    void CreateToolBar();
    void PlaceControlBars();
    void ConnectFilterSwitch();
    void OpenAddressList();
    void FillAddressList();
    void CreateRecords();
    // Tells the record book the address the capture is now on and the interface holding it.
    void BindRecordBook();
    void DressControls();
    void LoadToolBarImages();
    void BindCaptureSocket();
    void UpdateCommandStates();
    // Monitoring stops: the state, the capture's spans, the drops and what shows them.
    void EndMonitoring();
    void ShowStatePane();
    void ExitCommand();
    void SaveSelected();
    void SaveAll();
    void ExportAllPcapng();
    void ExportSelectedPcapng();
    void CopyDump();
    void ShowHelp();
    void ShowAbout();
    void ShowInterfaceLibrary();
    void DestroyWindow();

    // Once per spell of failed record writes, such as a full disk: monitoring goes on.
    void ReportRecordWriteFailure();

    void Arrived(const CapturedDatagram& datagram) override;
    void Counted() override;
    // Monitoring ends with a message: the capture is gone.
    void CaptureEnded(const std::string& reason) override;
    void ShowCounters();
    // The clock advances a beat while it runs, and its pane shows it.
    void TickClock();

    Environment environment;
    QMenuBar* menuBar = nullptr;
    QWidget* client = nullptr;
    ImageToolBar* toolBar = nullptr;
    StatusBar* statusBar = nullptr;
    ControlMap controls;
    std::map<int, QAction*> actions;

    RecordDirectory recordDirectory;
    std::unique_ptr<RecordBook> recordBook;
    RecordView* recordView = nullptr;
    WindowHandover* handover;
    MonitorSession session;
    DisplayBeat beat;
    ResizeLayout resizeLayout;
    InterfaceLibraryDialog interfaceLibrary;
    std::unique_ptr<HelpWindow> helpWindow;
    bool destroyed = false;
};

} // namespace talvane
