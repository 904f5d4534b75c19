#include "MainWindow.h"

#include "AcceleratorFilter.h"
#include "DumpMenuRoute.h"
#include "StatusBar.h"
#include "StatusTexts.h"
#include "WindowHandover.h"
#include "capture/CaptureEngine.h"
#include "capture/HostAddressList.h"
#include "capture/PortOwnerLookup.h"
#include "chrome/CStaticLink.h"
#include "chrome/ImageToolBar.h"
#include "dialogkit/DialogBuilder.h"
#include "dialogkit/UserPrompts.h"
#include "filtering/FilterDialog.h"
#include "help/AboutDialog.h"
#include "help/HelpWindow.h"
#include "records/RecordBook.h"
#include "records/RecordView.h"
#include "res/Branding.h"
#include "res/CommandIds.h"
#include "res/ControlIds.h"
#include "res/ControlTips.h"
#include "res/LayoutRules.h"
#include "res/MainWindowTemplate.h"
#include "res/MenuTemplate.h"
#include "res/MessageTexts.h"
#include "res/StringTable.h"
#include "res/ToolBarTemplate.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <unistd.h>

namespace talvane {

namespace {

bool IsToolButton(int commandId) {
    return std::ranges::find(ToolBarTemplate::Buttons, commandId) != ToolBarTemplate::Buttons.end();
}

// What the user is told when the record folder cannot be used; null when there is nothing to say.
const char* RecordFolderMessage(RecordDirectory::Outcome outcome) {
    switch (outcome) {
    case RecordDirectory::Outcome::Unwritable:
        return MessageTexts::RecordWriteFailed;
    case RecordDirectory::Outcome::NotAFolder:
        return MessageTexts::RecordFolderNotAFolder;
    case RecordDirectory::Outcome::OtherUsers:
        return MessageTexts::RecordFolderOfOtherUser;
    case RecordDirectory::Outcome::Ready:
    case RecordDirectory::Outcome::NotGiven:
        break;
    }
    return nullptr;
}

} // namespace

const MainWindow::CommandRoute MainWindow::CommandTable[] = {
    {CommandId::BeginMonitorTool, &MainWindow::BeginMonitor, Enablement::WhenCanBegin},
    {CommandId::BeginMonitor, &MainWindow::BeginMonitor, Enablement::WhenCanBegin},
    {CommandId::PauseMonitorTool, &MainWindow::PauseMonitor, Enablement::WhenCanPause},
    {CommandId::PauseMonitor, &MainWindow::PauseMonitor, Enablement::WhenCanPause},
    {CommandId::StopMonitorTool, &MainWindow::StopMonitor, Enablement::WhenCanStop},
    {CommandId::StopMonitor, &MainWindow::StopMonitor, Enablement::WhenCanStop},
    {CommandId::Exit, &MainWindow::ExitCommand, Enablement::Always},
    {CommandId::EditFilter, &MainWindow::EditFilter, Enablement::Always},
    {CommandId::ClearRecordsTool, &MainWindow::ClearRecords, Enablement::Always},
    {CommandId::ClearRecords, &MainWindow::ClearRecords, Enablement::Always},
    {CommandId::SaveSelected, &MainWindow::SaveSelected, Enablement::Always},
    {CommandId::SaveAll, &MainWindow::SaveAll, Enablement::Always},
    {CommandId::ExportAllPcapng, &MainWindow::ExportAllPcapng, Enablement::Always},
    {CommandId::ExportSelectedPcapng, &MainWindow::ExportSelectedPcapng, Enablement::Always},
    {CommandId::CopyDump, &MainWindow::CopyDump, Enablement::Always},
    {CommandId::AboutTool, &MainWindow::ShowAbout, Enablement::Always},
    {CommandId::About, &MainWindow::ShowAbout, Enablement::Always},
    {CommandId::HelpTool, &MainWindow::ShowHelp, Enablement::Always},
    {CommandId::Help, &MainWindow::ShowHelp, Enablement::Always},
    {CommandId::InterfaceLibrary, &MainWindow::ShowInterfaceLibrary, Enablement::Always},
};

MainWindow::Environment MainWindow::Environment::OfThisProcess() {
    return OfProgramIn(QCoreApplication::applicationDirPath().toStdString());
}

MainWindow::Environment
MainWindow::Environment::OfProgramIn(const std::filesystem::path& executableDirectory) {
    Environment environment;
    // The build puts the data beside the executable; an installed copy finds it from any prefix.
    environment.dataDirectory = std::filesystem::exists(executableDirectory / "help.html")
                                    ? executableDirectory
                                    : (executableDirectory / "../share/talvane").lexically_normal();
    // $XDG_CONFIG_HOME/talvane: the installed data is read-only and shared by every user.
    environment.settingsDirectory =
        QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation).toStdString();
    // $XDG_RUNTIME_DIR, or Qt's private fallback where it is unset.
    environment.runtimeDirectory =
        QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation).toStdString();
    environment.hostAddresses = [] {
        return HostAddressList::Order(HostAddressList::ReadInterfaces());
    };
    const std::filesystem::path besideProgram = executableDirectory / "talvane-capture";
    const std::filesystem::path helper =
        std::filesystem::exists(besideProgram)
            ? besideProgram
            : (executableDirectory / "../libexec/talvane/talvane-capture").lexically_normal();
    environment.makeCapture = [helper](Handover& handover) -> std::unique_ptr<CaptureSource> {
        return std::make_unique<CaptureEngine>(handover, CaptureEngine::HelperCaptures(helper));
    };
    environment.showMessage = UserPrompts::MessageBox;
    environment.chooseFile = UserPrompts::FileDialog;
    return environment;
}

MainWindow::MainWindow(Environment environmentIn)
    : QDialog(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      environment(std::move(environmentIn)),
      recordDirectory(environment.runtimeDirectory, getpid()),
      handover(new WindowHandover(*this, this)),
      session(environment.makeCapture(*handover), environment.hostAddresses(),
              FilterDialog::LastFile(environment.settingsDirectory)),
      resizeLayout(MainWindowLayoutRules, controls), interfaceLibrary(this) {
    setWindowTitle(QString::fromUtf8(MainWindowTemplate.caption));
    setFont(DialogBuilder::DialogFont(MainWindowTemplate.fontPointSize));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    CreateMenuBar();
    layout->setMenuBar(menuBar);
    client = new QWidget(this);
    layout->addWidget(client);
    const QSize clientSize = DialogBuilder::ClientSize(MainWindowTemplate, font());
    client->resize(clientSize);
    // The layout rules never shrink the controls below their template places.
    client->setMinimumSize(clientSize);
    resize(clientSize.width(), clientSize.height() + menuBar->sizeHint().height());
    controls = DialogBuilder::Build(MainWindowTemplate, client);
    qApp->installEventFilter(
        new AcceleratorFilter(this, [this](int commandId) { RunCommand(commandId); }));
    OnInitDialog();
}

MainWindow::~MainWindow() {
    DestroyWindow();
}

// Each step uses what the steps before it made: the record panel needs the address the list
// chose, the beat draws the panels, the initial places are taken once every control stands where
// it starts. A message box shown on the way (the capture that cannot open) runs the event loop.
void MainWindow::OnInitDialog() {
    SetWindowIcon();
    CreateControlBars();
    ConnectFilterSwitch();
    OpenAddressList();
    CreateRecords();
    beat.Register([this] { TickClock(); });
    // Nobody follows a list whose every visible row is new ten times a second, and each redraw
    // costs as much as writing the records: after such a beat the next one rests.
    beat.Register([this] {
        if (recordView->Refresh())
            beat.Rest();
    });
    beat.Start(environment.startBeat);
    DressControls();
    UpdateCommandStates();
    LoadToolBarImages();
    resizeLayout.NoteInitialPlaces(client->size());
    new DumpMenuRoute(Control<QPlainTextEdit>(ControlId::DataView));
    // The client area's size changes.
    client->installEventFilter(this);
}

void MainWindow::SetWindowIcon() {
    QIcon icon(QStringLiteral(":/images/icon128.png"));
    icon.addFile(QStringLiteral(":/images/icon128-16.png"));
    setWindowIcon(icon);
}

// The tool bar and the status bar are found by control id like the template's controls.
void MainWindow::CreateControlBars() {
    CreateToolBar();
    statusBar = new StatusBar(client, beat);
    statusBar->SetKernelDrops([this] { return session.KernelDropsSoFar(); });
    controls.Add(ControlId::ToolBar, toolBar);
    controls.Add(ControlId::StatusBar, statusBar);
    PlaceControlBars();
}

void MainWindow::ConnectFilterSwitch() {
    auto* useFilter = Control<QCheckBox>(ControlId::UseFilter);
    useFilter->setChecked(true);
    connect(useFilter, &QCheckBox::clicked, this, &MainWindow::ReloadActiveFilter);
}

// Lists the host's addresses and opens the capture on the first; choosing another reopens it.
void MainWindow::OpenAddressList() {
    FillAddressList();
    BindCaptureSocket();
    connect(AddressCombo(), &QComboBox::currentIndexChanged, this, &MainWindow::BindCaptureSocket);
}

void MainWindow::CreateRecords() {
    // Without a safe folder of its own the window keeps no record files.
    const RecordDirectory::Preparation preparation = recordDirectory.Prepare();
    const std::filesystem::path recordFiles =
        preparation.Ready() ? recordDirectory.Path() : std::filesystem::path();
    if (const char* refusal = RecordFolderMessage(preparation.outcome))
        environment.showMessage(QString::fromUtf8(refusal) +
                                QString::fromStdString(preparation.folder.string()));
    recordBook = std::make_unique<RecordBook>(recordFiles, std::make_unique<PortOwnerLookup>());
    BindRecordBook();
    recordView = new RecordView(
        {Control<QTableView>(ControlId::RecordList), Control<QPlainTextEdit>(ControlId::DataView),
         Control<QLabel>(ControlId::TotalReceived), Control<QLabel>(ControlId::CurrentReceived),
         Control<QCheckBox>(ControlId::WideDump)},
        *recordBook, environment.chooseFile, this);
    connect(recordView, &RecordView::RecordWritesFailed, this,
            &MainWindow::ReportRecordWriteFailure);
    connect(recordView, &RecordView::ExportFailed, this,
            [this](const QString& message) { environment.showMessage(message); });
    connect(Control<QPushButton>(ControlId::SaveSelected), &QPushButton::clicked, this,
            [this] { RunCommand(CommandId::SaveSelected); });
    connect(Control<QPushButton>(ControlId::SaveAll), &QPushButton::clicked, this,
            [this] { RunCommand(CommandId::SaveAll); });
}

void MainWindow::BindRecordBook() {
    if (recordBook)
        recordBook->Bind(session.SelectedAddress(),
                         HostAddressList::InterfaceHolding(session.SelectedAddress()).value_or(""));
}

// The data view's fixed font and grey ground, the tool tips and the banner.
void MainWindow::DressControls() {
    auto* dataView = Control<QPlainTextEdit>(ControlId::DataView);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(MainWindowTemplate.fontPointSize);
    // The dump is redrawn with every new record; shaping its plain ASCII only costs time.
    fixed.setStyleStrategy(QFont::PreferNoShaping);
    dataView->setFont(fixed);
    QPalette dataPalette = dataView->palette();
    dataPalette.setColor(QPalette::Base, QColor(200, 200, 200));
    dataView->setPalette(dataPalette);

    for (const ControlTip& tip : ControlTips)
        Control(tip.controlId)->setToolTip(QString::fromUtf8(tip.text));

    auto* banner = Control<CStaticLink>(ControlId::Banner);
    banner->setPixmap(QPixmap(QStringLiteral(":/images/banner136.png")));
    banner->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    banner->SetTarget(QString::fromUtf8(Branding::MakerWebAddress));
}

void MainWindow::LoadToolBarImages() {
    // The default strip is only the fallback: it is not decoded when the colour strips load.
    toolBar->SetImageListsOrFallback(ToolBarTemplate::ButtonWidth, ToolBarTemplate::NormalStrip,
                                     ToolBarTemplate::NormalStrip, ToolBarTemplate::DisabledStrip,
                                     ToolBarTemplate::DefaultStrip);
}

void MainWindow::CreateMenuBar() {
    menuBar = new QMenuBar(this);
    for (const MenuTemplate::Popup& popup : MainMenu.popups) {
        QMenu* menu = menuBar->addMenu(QString::fromUtf8(popup.title));
        for (const MenuTemplate::Item& item : popup.items) {
            QString text = QString::fromUtf8(item.text);
            if (*item.shortcutText != '\0')
                text += '\t' + QString::fromUtf8(item.shortcutText);
            QAction* action = menu->addAction(text);
            const int commandId = item.commandId;
            connect(action, &QAction::triggered, this,
                    [this, commandId] { RunCommand(commandId); });
            actions[commandId] = action;
        }
    }
}

void MainWindow::CreateToolBar() {
    toolBar = new ImageToolBar(client);
    toolBar->setIconSize(QSize(ToolBarTemplate::ButtonWidth, ToolBarTemplate::ButtonHeight));
    toolBar->setMovable(false);
    toolBar->setFloatable(false);
    for (const int commandId : ToolBarTemplate::Buttons) {
        const QString tip = QString::fromStdString(StringTable::ToolTip(commandId));
        QAction* action = toolBar->addAction(tip);
        action->setToolTip(tip);
        connect(action, &QAction::triggered, this, [this, commandId] { RunCommand(commandId); });
        actions[commandId] = action;
    }
}

void MainWindow::PlaceControlBars() {
    const QSize area = client->size();
    toolBar->setGeometry(0, 0, area.width(), toolBar->sizeHint().height());
    // The address list and the filter switch sit on the bar's strip, above it.
    toolBar->lower();
    const int statusHeight = statusBar->sizeHint().height();
    statusBar->setGeometry(0, area.height() - statusHeight, area.width(), statusHeight);
}

void MainWindow::FillAddressList() {
    QComboBox* combo = AddressCombo();
    for (const Ipv4Address& address : session.Addresses())
        combo->addItem(QString::fromStdString(address.Dotted()));
    combo->setCurrentIndex(session.Addresses().empty() ? -1 : 0);
}

void MainWindow::BindCaptureSocket() {
    const std::optional<CaptureSource::Binding> binding =
        session.Bind(AddressCombo()->currentIndex());
    BindRecordBook();
    // Without an address to monitor nothing can be captured.
    if (!binding || !binding->bound)
        environment.showMessage(QString::fromUtf8(MessageTexts::CreateSocketFail));
    // Said where it can be looked up, not in a box at every start: monitoring goes on without.
    if (binding)
        statusBar->setToolTip(binding->ownersUnavailable.empty()
                                  ? QString()
                                  : QString::fromStdString(StatusTexts::OwnersUnavailableTip(
                                        binding->ownersUnavailable)));
    setWindowTitle(TitleFor(binding ? &session.SelectedAddress() : nullptr));
}

QString MainWindow::TitleFor(const Ipv4Address* address) {
    QString title = QString::fromUtf8("Talvane -- 以太网版      监控IP:");
    if (address != nullptr)
        title += QString::fromStdString(address->Dotted());
    return title;
}

const MainWindow::CommandRoute* MainWindow::FindRoute(int commandId) {
    for (const CommandRoute& route : CommandTable) {
        if (route.commandId == commandId)
            return &route;
    }
    return nullptr;
}

bool MainWindow::CommandEnabled(int commandId) const {
    const CommandRoute* route = FindRoute(commandId);
    if (route == nullptr)
        return !IsToolButton(commandId);
    switch (route->enabled) {
    case Enablement::Always:
        return true;
    case Enablement::WhenCanBegin:
        return session.State().CanBegin();
    case Enablement::WhenCanPause:
        return session.State().CanPause();
    case Enablement::WhenCanStop:
        return session.State().CanStop();
    }
    return false;
}

void MainWindow::UpdateCommandStates() {
    for (const auto& [commandId, action] : actions)
        action->setEnabled(CommandEnabled(commandId));
}

void MainWindow::RunCommand(int commandId) {
    if (!CommandEnabled(commandId))
        return;
    const CommandRoute* route = FindRoute(commandId);
    if (route != nullptr && route->handler != nullptr)
        (this->*route->handler)();
}

QAction* MainWindow::Action(int commandId) const {
    const auto found = actions.find(commandId);
    return found == actions.end() ? nullptr : found->second;
}

QComboBox* MainWindow::AddressCombo() const {
    return Control<QComboBox>(ControlId::AddressCombo);
}

void MainWindow::BeginMonitor() {
    ReloadActiveFilter();
    const bool started = session.Begin();
    ShowStatePane();
    UpdateCommandStates();
    if (!started)
        environment.showMessage(QString::fromUtf8(MessageTexts::BeginMonitorFail));
}

void MainWindow::PauseMonitor() {
    session.Pause();
    ShowStatePane();
    UpdateCommandStates();
}

void MainWindow::StopMonitor() {
    EndMonitoring();
    // A fresh capture for the next begin: nothing captured until then is kept.
    BindCaptureSocket();
}

void MainWindow::EndMonitoring() {
    session.Stop();
    ShowStatePane();
    UpdateCommandStates();
}

void MainWindow::ReloadActiveFilter() {
    const std::string message =
        session.ReloadFilter(Control<QCheckBox>(ControlId::UseFilter)->isChecked());
    // Monitoring unfiltered is no secret: the user expected a filter.
    if (!message.empty())
        environment.showMessage(QString::fromStdString(message));
}

void MainWindow::EditFilter() {
    FilterDialog dialog(session.EditedSettings(), environment.dataDirectory,
                        environment.settingsDirectory, environment.showMessage,
                        environment.chooseFile, this);
    if (dialog.exec() == QDialog::Accepted)
        ReloadActiveFilter();
}

void MainWindow::ShowStatePane() {
    statusBar->SetPaneText(StatusBar::StatePane, QString::fromUtf8(session.State().PaneText()));
}

void MainWindow::ExitCommand() {
    reject();
}

void MainWindow::accept() {
    // Enter does nothing: the window closes only by its close paths.
}

void MainWindow::done(int result) {
    DestroyWindow();
    QDialog::done(result);
}

void MainWindow::DestroyWindow() {
    if (destroyed)
        return;
    destroyed = true;
    client->removeEventFilter(this);
    beat.Stop();
    handover->Abandon();
    // Ends the helper and joins the worker before the record files go.
    session.EndCapture();
    recordDirectory.Remove();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == client && event->type() == QEvent::Resize)
        OnSize(isMaximized() ? SizeType::Maximized : SizeType::Restored, client->size());
    return QDialog::eventFilter(watched, event);
}

void MainWindow::changeEvent(QEvent* event) {
    // Minimising, or restoring a maximised window from the task bar, need not resize the client
    // area, but each is a size change all the same.
    if (event->type() == QEvent::WindowStateChange)
        OnSize(isMinimized()   ? SizeType::Minimized
               : isMaximized() ? SizeType::Maximized
                               : SizeType::Restored,
               client->size());
    QDialog::changeEvent(event);
}

void MainWindow::OnSize(SizeType type, QSize clientSize) {
    // Size changes move controls only once every control stands where it starts.
    if (!resizeLayout.Noted())
        return;
    Control<QCheckBox>(ControlId::WideDump)->setChecked(type == SizeType::Maximized);
    recordView->ShowSelectedRecord();
    // A minimised window keeps its controls where they were.
    if (type != SizeType::Minimized)
        resizeLayout.Follow(clientSize);
}

void MainWindow::TickClock() {
    if (session.TickClock())
        statusBar->SetPaneText(StatusBar::TimePane,
                               QString::fromStdString(session.Clock().PaneText()));
}

void MainWindow::Arrived(const CapturedDatagram& datagram) {
    HandleDatagram(datagram.bytes, datagram.captured, datagram.owners, datagram.captureAddress);
    emit DatagramArrived(datagram.bytes, datagram.captured);
}

void MainWindow::HandleDatagram(std::span<const std::uint8_t> datagram, CaptureTime captured,
                                const DatagramOwners& owners,
                                std::optional<Ipv4Address> captureAddress) {
    // Before classification, so a full list is emptied even for a datagram then rejected.
    if (recordBook->Full())
        ClearRecords();
    const PacketClass& lastPacket = session.Classify(datagram, captureAddress);
    if (lastPacket.Verdict() == Classification::Accepted &&
        recordBook->Add({lastPacket, lastPacket.PayloadOf(datagram), captured, datagram, owners,
                         captureAddress}))
        ReportRecordWriteFailure();
}

void MainWindow::ReportRecordWriteFailure() {
    // Told once the handler that wrote is done: a write may come inside a hand-over, and a message
    // box open while the worker waits would stop the capture.
    QTimer::singleShot(0, this, [this] {
        environment.showMessage(QString::fromUtf8(MessageTexts::RecordWriteFailed) +
                                QString::fromStdString(recordDirectory.Path().string()));
    });
}

void MainWindow::Counted() {
    session.Count();
    ShowCounters();
}

void MainWindow::CaptureEnded(const std::string& reason) {
    if (session.State().CanStop())
        EndMonitoring();
    // Told once the hand-over is done, not from inside the notifier that woke the window for
    // it; then a fresh capture for the next begin, as a stop opens one.
    QTimer::singleShot(0, this, [this, reason] {
        environment.showMessage(QString::fromUtf8(MessageTexts::CaptureEnded) +
                                QString::fromStdString(reason));
        BindCaptureSocket();
    });
}

void MainWindow::ShowCounters() {
    statusBar->SetCounters(session.DatagramTotal(),
                           session.DatagramBalance() - recordBook->Count());
}

void MainWindow::ClearRecords() {
    session.TakeOut(recordView->Clear());
    ShowCounters();
}

void MainWindow::SaveSelected() {
    recordView->SaveSelected();
}

void MainWindow::SaveAll() {
    recordView->SaveAll();
}

void MainWindow::ExportAllPcapng() {
    recordView->ExportAllPcapng();
}

void MainWindow::ExportSelectedPcapng() {
    recordView->ExportSelectedPcapng();
}

void MainWindow::CopyDump() {
    recordView->CopySelection();
}

void MainWindow::ShowHelp() {
    if (!helpWindow)
        helpWindow = std::make_unique<HelpWindow>(this);
    helpWindow->ShowFile(environment.dataDirectory / "help.html");
}

void MainWindow::ShowAbout() {
    AboutDialog about(this);
    about.exec();
}

void MainWindow::ShowInterfaceLibrary() {
    interfaceLibrary.exec();
}

} // namespace talvane
