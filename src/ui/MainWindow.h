#pragma once

#include "ElapsedClock.h"
#include "KernelDrops.h"
#include "capture/CaptureSource.h"
#include "capture/ClassifyPacket.h"
#include "capture/DatagramSink.h"
#include "capture/Handover.h"
#include "capture/Ipv4Address.h"
#include "capture/MonitorState.h"
#include "dialogkit/ControlMap.h"
#include "dialogkit/UserPrompts.h"
#include "filtering/FilterSettings.h"
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
        // The display's beat, which also drives the elapsed clock: calls the function every
        // 100 ms until the returned object is destroyed.
        using TickSource = std::function<std::unique_ptr<QObject>(std::function<void()> tick)>;
        TickSource startElapsedTicks = TimerTicks;

        static Environment OfThisProcess();
        // As for this program installed in executableDirectory: its data and its capture helper
        // beside it in a build tree, else in ../share/talvane and ../libexec/talvane.
        static Environment OfProgramIn(const std::filesystem::path& executableDirectory);
        static std::unique_ptr<QObject> TimerTicks(std::function<void()> tick);
    };

    explicit MainWindow(Environment environment);
    ~MainWindow() override;

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
    ImageToolBar* ToolBar() const { return toolBar; }
    StatusBar* Status() const { return statusBar; }
    QWidget* ClientArea() const { return client; }

    const MonitorState& State() const { return state; }
    const ActiveFilter& ActiveFilterInUse() const { return activeFilter; }
    // What the classification made of the datagram handed over last.
    const PacketClass& LastPacket() const { return lastPacket; }
    const CaptureSource& Capture() const { return *capture; }
    // The figures of the status bar's counters: datagrams handed over since the start, and
    // handed over but for those the clear command took out as records.
    std::int32_t DatagramTotal() const { return datagramTotal; }
    std::int32_t DatagramBalance() const { return datagramBalance; }
    const Ipv4Address& SelectedAddress() const { return selectedAddress; }
    const RecordDirectory& Records() const { return recordDirectory; }
    RecordView& RecordsView() const { return *recordView; }
    // Null until the first Help.
    HelpWindow* Help() const { return helpWindow.get(); }
    const InterfaceLibraryDialog& InterfaceLibrary() const { return interfaceLibrary; }

    // The packet path of one datagram handed over by the worker: the record limit,
    // classification against the address of the capture that took it (without one, the selected
    // address) and the record store.
    void HandleDatagram(std::span<const std::uint8_t> datagram, CaptureTime captured,
                        const DatagramOwners& owners = {},
                        std::optional<Ipv4Address> captureAddress = std::nullopt);

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
    // Moves and stretches the controls by the change of the client area's size since
    // initialisation; maximising shows the dump 32 bytes a line, any other size change 16.
    void OnSize(SizeType type, QSize clientSize);

    // The window's own title for a monitored address.
    static QString TitleFor(const Ipv4Address* address);

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
    enum class Enablement { Always, WhenCanBegin, WhenCanPause, WhenCanStop };
    struct CommandRoute {
        int commandId;
        void (MainWindow::*handler)();
        Enablement enabled;
    };
    static const CommandRoute CommandTable[];
    static const CommandRoute* FindRoute(int commandId);

    void OnInitDialog();
    void SetWindowIcon();
    void CreateMenuBar();
    void CreateControlBars();
    void CreateToolBar();
    void PlaceControlBars();
    void ConnectFilterSwitch();
    void OpenAddressList();
    void FillAddressList();
    void CreateRecordPanel();
    // Tells the record book the address the capture is now on and the interface holding it.
    void BindRecordBook();
    void DressControls();
    void LoadToolBarImages();
    void NoteInitialPlaces();
    void BindCaptureSocket();
    void OnAddressChanged();
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

    // Opens the data view's copy menu for a right-button press while the view has the keyboard
    // focus; returns whether the event is used up.
    bool RouteDumpMenu(QObject* watched, QEvent* event);

    // Once per spell of failed record writes, such as a full disk: monitoring goes on.
    void ReportRecordWriteFailure();

    void Arrived(const CapturedDatagram& datagram) override;
    void Counted() override;
    // Monitoring ends with a message: the capture is gone.
    void CaptureEnded(const std::string& reason) override;
    // The open capture's drop count; nullopt without a capture.
    std::optional<std::uint32_t> KernelDropped() const;
    void ShowCounters();
    void DisplayBeat();

    Environment environment;
    QMenuBar* menuBar = nullptr;
    QWidget* client = nullptr;
    ImageToolBar* toolBar = nullptr;
    StatusBar* statusBar = nullptr;
    ControlMap controls;
    std::map<int, QAction*> actions;

    MonitorState state;
    // The dialog's edited copy of the settings, kept between showings.
    FilterSettings filterSettings;
    ActiveFilter activeFilter;
    PacketClass lastPacket;
    ElapsedClock elapsed;
    KernelDrops kernelDrops;
    std::unique_ptr<QObject> elapsedTicks;
    std::vector<Ipv4Address> hostAddressList;
    // The address the capture is on; none before the first bind and when the list is empty.
    Ipv4Address selectedAddress;
    std::int32_t datagramTotal = 0;
    std::int32_t datagramBalance = 0;
    RecordDirectory recordDirectory;
    std::unique_ptr<RecordBook> recordBook;
    RecordView* recordView = nullptr;
    WindowHandover* handover;
    std::unique_ptr<CaptureSource> capture;
    InterfaceLibraryDialog interfaceLibrary;
    std::unique_ptr<HelpWindow> helpWindow;
    bool destroyed = false;
    // The data view's menu request that RouteDumpMenu itself sends.
    bool openingDumpMenu = false;
    // Size changes move controls only once every control exists.
    bool initialised = false;
    // Where the layout rules start from: the client area and the controls they move as
    // initialisation left them.
    QSize initialClientSize;
    std::map<int, QRect> initialPlaces;
};

} // namespace talvane
