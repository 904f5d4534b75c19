#include "chrome/CStaticLink.h"
#include "chrome/ImageToolBar.h"
#include "dialogkit/DialogBuilder.h"
#include "help/AboutDialog.h"
#include "help/HelpWindow.h"
#include "help/InterfaceLibraryDialog.h"
#include "res/AboutDialogTemplate.h"
#include "res/Branding.h"
#include "res/CommandIds.h"
#include "res/InterfaceLibraryTemplate.h"
#include "res/Version.h"
#include "support/NextModal.h"
#include "support/UrlRecorder.h"
#include "support/WindowEnvironment.h"

#include <QLabel>
#include <QScrollBar>
#include <QToolBar>
#include <QWindow>

#include <QtTest>
#include <functional>

using namespace talvane;

namespace {

const QString WebAddress = QString::fromUtf8(Branding::MakerWebAddress);
const QString HelpTitle = QString::fromUtf8("Talvane 帮助");

struct WindowUnderTest : WindowEnvironment {
    std::unique_ptr<MainWindow> window;

    explicit WindowUnderTest(bool withHelpFile = true)
        : WindowEnvironment(std::vector<Ipv4Address>{{{192, 0, 2, 1}}}) {
        if (withHelpFile)
            QFile::copy(TALVANE_HELP_FILE, dataDirectory.filePath("help.html"));
        window = std::make_unique<MainWindow>(Make());
    }

    bool ShowActive() {
        window->show();
        window->activateWindow();
        return QTest::qWaitForWindowActive(window.get());
    }
};

// The dialogs run their own loop: this answers the next one from there with its OK button, after
// doing whatever the test wants done in it; a modal asking window is not the dialog.
class ModalAnswer {
public:
    explicit ModalAnswer(std::function<void(QDialog*)> act = {}, const QWidget* asking = nullptr)
        : next(
              [this, act = std::move(act)](QDialog& dialog) {
                  seenClass = QString::fromLatin1(dialog.metaObject()->className())
                                  .remove(QStringLiteral("talvane::"));
                  if (act)
                      act(&dialog);
                  QWidget* ok = nullptr;
                  if (auto* about = qobject_cast<AboutDialog*>(&dialog))
                      ok = about->Control(AboutControlId::Ok);
                  else if (auto* library = qobject_cast<InterfaceLibraryDialog*>(&dialog))
                      ok = library->Control(InterfaceLibraryControlId::Ok);
                  QTest::mouseClick(ok, Qt::LeftButton);
              },
              asking) {}

    QString seenClass;
    NextModal<QDialog> next;
    // Null once the dialog is destroyed.
    const QPointer<QDialog>& seen = next.seen;
};

enum class Trigger { ToolButton, MenuItem, Key };

} // namespace

class HelpDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void everyCommandOpensItsWindow_data();
    void everyCommandOpensItsWindow();
    void aboutIsNewEachTimeTheLibraryDialogIsKept();
    void linksShowTheirTextsAndOpenTheirTargets_data();
    void linksShowTheirTextsAndOpenTheirTargets();
    void aboutShowsIconVersionAndAuthor();
    void dialogsKeepTheirTemplateSize_data();
    void dialogsKeepTheirTemplateSize();
    void helpWindowIsMadeOnceAndShowsTheHelpFile();
    void missingHelpFileIsNamedInTheHelpWindow();
    void helpFileLinksLeadToItsSections();

private:
    std::unique_ptr<UrlRecorder> recorder;
};

void HelpDialogsTest::init() {
    // The old recorder lets go of the handlers before the new one takes them.
    recorder.reset();
    recorder = std::make_unique<UrlRecorder>();
}

void HelpDialogsTest::everyCommandOpensItsWindow_data() {
    QTest::addColumn<int>("trigger");
    QTest::addColumn<int>("command"); // a command id, or the key with its modifiers
    QTest::addColumn<QString>("opens");

    const int tool = int(Trigger::ToolButton);
    const int menu = int(Trigger::MenuItem);
    const int key = int(Trigger::Key);
    QTest::newRow("about button") << tool << CommandId::AboutTool << "AboutDialog";
    QTest::newRow("about menu item") << menu << CommandId::About << "AboutDialog";
    QTest::newRow("A") << key << int(Qt::Key_A) << "AboutDialog";
    QTest::newRow("interface library menu item")
        << menu << CommandId::InterfaceLibrary << "InterfaceLibraryDialog";
    QTest::newRow("Ctrl+D") << key << (Qt::Key_D | Qt::ControlModifier).toCombined()
                            << "InterfaceLibraryDialog";
    QTest::newRow("help button") << tool << CommandId::HelpTool << "HelpWindow";
    QTest::newRow("help menu item") << menu << CommandId::Help << "HelpWindow";
    QTest::newRow("F1") << key << int(Qt::Key_F1) << "HelpWindow";
}

void HelpDialogsTest::everyCommandOpensItsWindow() {
    QFETCH(int, trigger);
    QFETCH(int, command);
    QFETCH(QString, opens);

    WindowUnderTest test;
    MainWindow& window = *test.window;
    const WindowProbe probe(window);
    // As the program runs it, blocking every window it does not own.
    window.setWindowModality(Qt::ApplicationModal);
    QVERIFY(test.ShowActive());
    const QWindow* owner = nullptr;
    ModalAnswer answer(
        [&owner](QDialog* dialog) { owner = dialog->windowHandle()->transientParent(); }, &window);
    switch (Trigger(trigger)) {
    case Trigger::ToolButton:
        QTest::mouseClick(probe.ToolBar()->widgetForAction(probe.Action(command)), Qt::LeftButton);
        break;
    case Trigger::MenuItem:
        probe.Action(command)->trigger();
        break;
    case Trigger::Key: {
        const QKeyCombination keys = QKeyCombination::fromCombined(command);
        QTest::keyClick(QApplication::focusWidget(), keys.key(), keys.keyboardModifiers());
        break;
    }
    }

    if (opens == "HelpWindow") {
        QVERIFY(answer.seenClass.isEmpty());
        QVERIFY(probe.Help() != nullptr);
        HelpWindow& help = *probe.Help();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        QCOMPARE(help.windowHandle()->transientParent(), window.windowHandle());
        // Not blocked by the modal main window: keys reach it and scroll it.
        QTest::keyClick(help.windowHandle(), Qt::Key_End);
        QVERIFY(help.verticalScrollBar()->value() > 0);
        return;
    }
    QCOMPARE(answer.seenClass, opens);
    QCOMPARE(owner, window.windowHandle());
    QVERIFY(window.isVisible());
    if (opens == "AboutDialog")
        QVERIFY(answer.seen.isNull());
    else
        QCOMPARE(answer.seen.data(), &probe.InterfaceLibrary());
}

void HelpDialogsTest::aboutIsNewEachTimeTheLibraryDialogIsKept() {
    WindowUnderTest test;
    MainWindow& window = *test.window;
    const WindowProbe probe(window);
    int aboutBoxesDestroyed = 0;
    QSet<const QDialog*> libraryDialogs;

    for (int showing = 1; showing <= 2; ++showing) {
        ModalAnswer answer([&](QDialog* dialog) {
            QObject::connect(dialog, &QObject::destroyed, [&] { ++aboutBoxesDestroyed; });
            QTest::mouseClick(static_cast<AboutDialog*>(dialog)->Control(AboutControlId::WebLink),
                              Qt::LeftButton);
        });
        probe.RunCommand(CommandId::About);
        QCOMPARE(answer.seenClass, "AboutDialog");
        QCOMPARE(aboutBoxesDestroyed, showing);
    }
    for (int showing = 1; showing <= 2; ++showing) {
        ModalAnswer answer([&](QDialog* dialog) {
            libraryDialogs.insert(dialog);
            QTest::mouseClick(static_cast<InterfaceLibraryDialog*>(dialog)->Control(
                                  InterfaceLibraryControlId::Notice),
                              Qt::LeftButton);
        });
        probe.RunCommand(CommandId::InterfaceLibrary);
        QVERIFY(!probe.InterfaceLibrary().isVisible());
    }
    QCOMPARE(libraryDialogs, QSet<const QDialog*>{&probe.InterfaceLibrary()});
    // Every link works at every showing.
    QCOMPARE(recorder->opened, QList<QUrl>(4, QUrl(WebAddress)));
}

void HelpDialogsTest::linksShowTheirTextsAndOpenTheirTargets_data() {
    QTest::addColumn<bool>("about");
    QTest::addColumn<int>("controlId");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("target");

    const QString mail = QString::fromUtf8(Branding::AuthorEmail);
    QTest::newRow("web") << true << AboutControlId::WebLink
                         << "Web:" + QString::fromUtf8(Branding::MakerHostName) << WebAddress;
    QTest::newRow("mail") << true << AboutControlId::MailLink << "Email:" + mail
                          << "mailto:" + mail;
    QTest::newRow("interface library notice")
        << false << InterfaceLibraryControlId::Notice
        << QString::fromUtf8(
               "添加监控数据处理接口，允许用户自己实现接口处理监控数据，将在下一版本实现"
               ",请关注...")
        << WebAddress;
}

void HelpDialogsTest::linksShowTheirTextsAndOpenTheirTargets() {
    QFETCH(bool, about);
    QFETCH(int, controlId);
    QFETCH(QString, text);
    QFETCH(QString, target);

    AboutDialog aboutDialog;
    InterfaceLibraryDialog libraryDialog;
    QDialog& dialog = about ? static_cast<QDialog&>(aboutDialog) : libraryDialog;
    dialog.show();
    auto* link = about ? aboutDialog.Control<CStaticLink>(controlId)
                       : libraryDialog.Control<CStaticLink>(controlId);
    QVERIFY(link != nullptr);
    QCOMPARE(link->text(), text);

    QTest::mouseClick(link, Qt::LeftButton);
    QCOMPARE(recorder->opened, QList<QUrl>{QUrl(target)});
}

void HelpDialogsTest::aboutShowsIconVersionAndAuthor() {
    AboutDialog about;
    QCOMPARE(about.windowTitle(), QString::fromUtf8("关于 Talvane"));
    QStringList texts;
    QSize iconSize;
    for (const QLabel* label : about.findChildren<QLabel*>()) {
        texts << label->text();
        if (!label->pixmap().isNull())
            iconSize = label->pixmap().size();
    }
    QVERIFY(texts.contains(QString::fromUtf8("Talvane 版本 ") + QString::fromUtf8(TalvaneVersion)));
    QVERIFY(texts.contains("Author:" + QString::fromUtf8(Branding::AuthorName)));
    QCOMPARE(iconSize, QSize(32, 32));
}

void HelpDialogsTest::dialogsKeepTheirTemplateSize_data() {
    QTest::addColumn<bool>("about");
    QTest::newRow("about") << true;
    QTest::newRow("interface library") << false;
}

void HelpDialogsTest::dialogsKeepTheirTemplateSize() {
    QFETCH(bool, about);
    AboutDialog aboutDialog;
    InterfaceLibraryDialog libraryDialog;
    QDialog& dialog = about ? static_cast<QDialog&>(aboutDialog) : libraryDialog;
    const QSize templateSize = DialogBuilder::ClientSize(
        about ? AboutDialogTemplate : InterfaceLibraryTemplate, dialog.font());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QCOMPARE(dialog.size(), templateSize);
    QCOMPARE(dialog.minimumSize(), templateSize);
    QCOMPARE(dialog.maximumSize(), templateSize);
    dialog.resize(templateSize + QSize(60, 40));
    QCOMPARE(dialog.size(), templateSize);
}

void HelpDialogsTest::helpWindowIsMadeOnceAndShowsTheHelpFile() {
    WindowUnderTest test;
    const WindowProbe probe(*test.window);
    QCOMPARE(probe.Help(), nullptr);

    probe.RunCommand(CommandId::Help);
    HelpWindow* help = probe.Help();
    QVERIFY(help != nullptr);
    QCOMPARE(help->windowTitle(), HelpTitle);
    QVERIFY(help->toPlainText().contains("CAP_NET_RAW"));
    help->close();

    probe.RunCommand(CommandId::HelpTool);
    QCOMPARE(probe.Help(), help);
    QVERIFY(help->isVisible());
    QCOMPARE(help->windowTitle(), HelpTitle);
}

void HelpDialogsTest::missingHelpFileIsNamedInTheHelpWindow() {
    WindowUnderTest test(false);
    const WindowProbe probe(*test.window);
    const QStringList messagesAtStart = test.messages;
    probe.RunCommand(CommandId::Help);

    // No message box: the help window itself names the file it lacks.
    QVERIFY(probe.Help()->isVisible());
    QVERIFY(probe.Help()->toPlainText().contains(test.dataDirectory.filePath("help.html")));
    QCOMPARE(test.messages, messagesAtStart);
}

void HelpDialogsTest::helpFileLinksLeadToItsSections() {
    QFile file(TALVANE_HELP_FILE);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    QStringList anchors;
    for (const QRegularExpressionMatch& match :
         QRegularExpression(R"re(<a name="([^"]+)")re").globalMatch(html))
        anchors << match.captured(1);
    int links = 0;
    for (const QRegularExpressionMatch& match :
         QRegularExpression(R"re(<a href="#([^"]+)")re").globalMatch(html)) {
        QVERIFY2(anchors.contains(match.captured(1)), qPrintable(match.captured(1)));
        ++links;
    }
    QVERIFY(links > 0);
}

QTEST_MAIN(HelpDialogsTest)
#include "HelpDialogsTest.moc"
