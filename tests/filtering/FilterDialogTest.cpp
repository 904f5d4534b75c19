#include "filtering/FilterDialog.h"
#include "filtering/FilterFile.h"
#include "res/FilterDialogTemplate.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <fstream>
#include <sys/stat.h>

using namespace talvane;

namespace fs = std::filesystem;
namespace Id = FilterControlId;

namespace {

std::string ReadBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

FilterSettings BothLanSwitches() {
    FilterSettings settings;
    settings.filterLan = 1;
    settings.monitorLan = 1;
    settings.monitorIpText = "10.0.0.@";
    return settings;
}

// A dialog over a folder of its own, which holds the program's data and, made only on the first
// save, the user's settings; the test answers the dialog's questions.
struct DialogUnderTest {
    QTemporaryDir folder;
    FilterSettings settings;
    QStringList messages;
    QList<UserPrompts::FileChoice> fileChoices;
    QString chosenFile;
    std::unique_ptr<FilterDialog> dialog;

    fs::path DataDirectory() const { return folder.path().toStdString(); }
    fs::path SettingsDirectory() const { return DataDirectory() / "config" / "talvane"; }
    fs::path LastFile() const { return FilterDialog::LastFile(SettingsDirectory()); }
    fs::path DefaultFile() const { return FilterDialog::DefaultFile(DataDirectory()); }

    FilterDialog& Open() {
        dialog = std::make_unique<FilterDialog>(
            settings, DataDirectory(), SettingsDirectory(),
            [this](const QString& text) { messages << text; },
            [this](const UserPrompts::FileChoice& choice) {
                fileChoices << choice;
                return chosenFile;
            });
        dialog->show();
        return *dialog;
    }

    QCheckBox* Box(int id) const { return dialog->Control<QCheckBox>(id); }
    QLineEdit* Edit(int id) const { return dialog->Control<QLineEdit>(id); }
    void Click(int id) const { QTest::mouseClick(dialog->Control(id), Qt::LeftButton); }
    bool Accepted() const { return !dialog->isVisible() && dialog->result() == QDialog::Accepted; }
};

} // namespace

class FilterDialogTest : public QObject {
    Q_OBJECT

private slots:
    void invalidFieldKeepsTheDialogAndTheFile();
    void okWithEverythingEmptyWritesTheEmptyFile();
    void okShowsTheFieldsAndSavesThem();
    void lanSwitchesExcludeEachOtherOnClick();
    void importShowsBothLanSwitchesAndOkKeepsThem();
    void cancelAfterImportReopensWithTheLastFile();
    void exportWritesWithoutClosing();
    void importedTextIsValidatedOnlyOnOk();
    void restoreDefaults();
    void damagedFileIsReportedAndChangesNothing();
    void unwritableLastFileKeepsTheDialogOpen_data();
    void unwritableLastFileKeepsTheDialogOpen();
    void layoutAndColours();
    void controlsComeOnlyAsTheirOwnType();
    void shippedFactorySettings();
};

void FilterDialogTest::invalidFieldKeepsTheDialogAndTheFile() {
    DialogUnderTest test;
    fs::create_directories(test.LastFile().parent_path());
    QVERIFY(FilterFile::Save(test.LastFile(), BothLanSwitches()));
    const std::string before = ReadBytes(test.LastFile());
    test.Open();

    test.Edit(Id::FilterLocalPort)->setText("8a");
    test.Click(Id::Ok);

    QCOMPARE(test.messages, QStringList{"过滤本地端口号非法"});
    QVERIFY(test.dialog->isVisible());
    QCOMPARE(ReadBytes(test.LastFile()), before);
}

void FilterDialogTest::okWithEverythingEmptyWritesTheEmptyFile() {
    DialogUnderTest test;
    test.Open();
    QVERIFY(!fs::exists(test.SettingsDirectory()));
    test.Click(Id::Ok);
    QVERIFY(test.Accepted());
    QCOMPARE(ReadBytes(test.LastFile()), std::string(26, '\0'));
    QVERIFY(test.messages.isEmpty());
}

void FilterDialogTest::okShowsTheFieldsAndSavesThem() {
    DialogUnderTest test;
    test.Open();
    test.Click(Id::FilterBroadcast);
    test.Click(Id::MonitorTcp);
    test.Edit(Id::FilterRemotePort)->setText("8080|0080");
    test.Edit(Id::MonitorIp)->setText("192.168.0.25@|192.168.0.240");
    QTest::keyClick(test.dialog.get(), Qt::Key_Return);
    QVERIFY(test.Accepted());

    FilterSettings expected;
    expected.filterBroadcast = 1;
    expected.monitorTcp = 1;
    expected.filterRemotePortText = "8080|0080";
    expected.monitorIpText = "192.168.0.25@|192.168.0.240";
    QCOMPARE(test.settings, expected);
    QCOMPARE(ReadBytes(test.LastFile()), FilterFile::Encode(expected));

    // The next showing starts from the saved file.
    test.Open();
    QVERIFY(test.Box(Id::FilterBroadcast)->isChecked());
    QCOMPARE(test.Edit(Id::FilterRemotePort)->text(), "8080|0080");
}

void FilterDialogTest::lanSwitchesExcludeEachOtherOnClick() {
    DialogUnderTest test;
    test.Open();
    QCheckBox* filterLan = test.Box(Id::FilterLan);
    QCheckBox* monitorLan = test.Box(Id::MonitorLan);

    test.Click(Id::FilterLan);
    QVERIFY(filterLan->isChecked() && !monitorLan->isChecked());
    test.Click(Id::MonitorLan);
    QVERIFY(!filterLan->isChecked() && monitorLan->isChecked());
    test.Click(Id::FilterLan);
    QVERIFY(filterLan->isChecked() && !monitorLan->isChecked());
    test.Click(Id::FilterLan);
    QVERIFY(!filterLan->isChecked() && !monitorLan->isChecked());
    test.Click(Id::MonitorLan);
    test.Click(Id::MonitorLan);
    QVERIFY(!filterLan->isChecked() && !monitorLan->isChecked());
}

void FilterDialogTest::importShowsBothLanSwitchesAndOkKeepsThem() {
    DialogUnderTest test;
    const QString imported = test.folder.filePath("both.ft");
    QVERIFY(FilterFile::Save(imported.toStdString(), BothLanSwitches()));
    test.chosenFile = imported;
    test.Open();

    test.Click(Id::Import);
    QCOMPARE(test.fileChoices.size(), 1);
    const UserPrompts::FileChoice& choice = test.fileChoices.first();
    QCOMPARE(choice.mode, UserPrompts::FileChoice::Mode::Open);
    QCOMPARE(choice.nameFilter, "打开过滤设置 (*.ft)");
    QCOMPARE(choice.defaultName, QString());
    QCOMPARE(choice.defaultSuffix, "ft");
    QVERIFY(test.Box(Id::FilterLan)->isChecked());
    QVERIFY(test.Box(Id::MonitorLan)->isChecked());
    QCOMPARE(test.Edit(Id::MonitorIp)->text(), "10.0.0.@");

    test.Click(Id::Ok);
    QVERIFY(test.Accepted());
    QCOMPARE(ReadBytes(test.LastFile()), FilterFile::Encode(BothLanSwitches()));
}

void FilterDialogTest::cancelAfterImportReopensWithTheLastFile() {
    DialogUnderTest test;
    fs::create_directories(test.LastFile().parent_path());
    FilterSettings last;
    last.filterIpText = "1.2.3.4";
    QVERIFY(FilterFile::Save(test.LastFile(), last));
    const QString imported = test.folder.filePath("both.ft");
    QVERIFY(FilterFile::Save(imported.toStdString(), BothLanSwitches()));
    test.chosenFile = imported;

    test.Open();
    test.Click(Id::Import);
    test.Click(Id::Cancel);
    QVERIFY(!test.dialog->isVisible());
    QCOMPARE(test.dialog->result(), int(QDialog::Rejected));

    test.Open();
    QCOMPARE(test.Edit(Id::FilterIp)->text(), "1.2.3.4");
    QVERIFY(!test.Box(Id::FilterLan)->isChecked());
    QCOMPARE(test.settings, last);
}

void FilterDialogTest::exportWritesWithoutClosing() {
    DialogUnderTest test;
    test.chosenFile = test.folder.filePath("exported.ft");
    test.Open();
    test.Click(Id::MonitorUdp);
    test.Edit(Id::MonitorLocalPort)->setText("53");

    test.Click(Id::Export);

    QCOMPARE(test.fileChoices.size(), 1);
    const UserPrompts::FileChoice& choice = test.fileChoices.first();
    QCOMPARE(choice.mode, UserPrompts::FileChoice::Mode::Save);
    QCOMPARE(choice.nameFilter, "保存过滤设置 (*.ft)");
    QCOMPARE(choice.defaultName, "filter");
    QCOMPARE(choice.defaultSuffix, "ft");
    FilterSettings expected;
    expected.monitorUdp = 1;
    expected.monitorLocalPortText = "53";
    QCOMPARE(ReadBytes(test.chosenFile.toStdString()), FilterFile::Encode(expected));
    QVERIFY(test.dialog->isVisible());
    QVERIFY(!fs::exists(test.LastFile()));

    // What cannot be replaced is told, and stays as it was.
    const fs::path fifo = test.folder.filePath("fifo.ft").toStdString();
    QCOMPARE(mkfifo(fifo.c_str(), 0600), 0);
    test.chosenFile = QString::fromStdString(fifo.string());
    test.Click(Id::Export);
    QCOMPARE(test.messages,
             QStringList{"导出目标是符号链接或不是普通文件，已拒绝写入: " + test.chosenFile});
    QVERIFY(fs::is_fifo(fifo));
    test.messages.clear();

    // An invalid field is refused before any file is chosen.
    test.Edit(Id::MonitorLocalPort)->setText("5x");
    test.Click(Id::Export);
    QCOMPARE(test.fileChoices.size(), 2);
    QCOMPARE(test.messages, QStringList{"监控本地端口号非法"});
}

void FilterDialogTest::importedTextIsValidatedOnlyOnOk() {
    DialogUnderTest test;
    FilterSettings odd;
    odd.filterLocalPortText = "abc";
    test.chosenFile = test.folder.filePath("odd.ft");
    QVERIFY(FilterFile::Save(test.chosenFile.toStdString(), odd));
    test.Open();

    test.Click(Id::Import);
    QCOMPARE(test.Edit(Id::FilterLocalPort)->text(), "abc");
    QVERIFY(test.messages.isEmpty());
    test.Click(Id::Ok);
    QCOMPARE(test.messages, QStringList{"过滤本地端口号非法"});
    QVERIFY(test.dialog->isVisible());
}

void FilterDialogTest::restoreDefaults() {
    DialogUnderTest test;
    test.Open();
    test.Edit(Id::FilterIp)->setText("9.9.9.9");
    test.Click(Id::RestoreDefaults);
    QCOMPARE(test.Edit(Id::FilterIp)->text(), "9.9.9.9");
    QVERIFY(test.messages.isEmpty());

    FilterSettings factory;
    factory.monitorTcp = 1;
    fs::create_directory(test.DefaultFile().parent_path());
    QVERIFY(FilterFile::Save(test.DefaultFile(), factory));
    test.Click(Id::RestoreDefaults);
    QCOMPARE(test.Edit(Id::FilterIp)->text(), QString());
    QVERIFY(test.Box(Id::MonitorTcp)->isChecked());
    QVERIFY(!fs::exists(test.LastFile()));
}

void FilterDialogTest::damagedFileIsReportedAndChangesNothing() {
    DialogUnderTest test;
    test.chosenFile = test.folder.filePath("cut.ft");
    const std::string whole = FilterFile::Encode(BothLanSwitches());
    std::ofstream(test.chosenFile.toStdString(), std::ios::binary)
        << whole.substr(0, whole.size() - 1);
    test.Open();
    test.Edit(Id::FilterIp)->setText("1.1.1.1");

    test.Click(Id::Import);

    QCOMPARE(test.messages, QStringList{"过滤设置文件已损坏: " + test.chosenFile});
    QCOMPARE(test.Edit(Id::FilterIp)->text(), "1.1.1.1");
    QVERIFY(!test.Box(Id::FilterLan)->isChecked());
    QCOMPARE(test.settings, FilterSettings{});
}

void FilterDialogTest::unwritableLastFileKeepsTheDialogOpen_data() {
    QTest::addColumn<bool>("link");
    QTest::newRow("a folder") << false;
    QTest::newRow("a link to settings elsewhere") << true;
}

// The settings are never written through a link, nor is the file it leads to emptied.
void FilterDialogTest::unwritableLastFileKeepsTheDialogOpen() {
    QFETCH(bool, link);
    DialogUnderTest test;
    const fs::path elsewhere = test.DataDirectory() / "elsewhere.ft";
    QVERIFY(FilterFile::Save(elsewhere, BothLanSwitches()));
    fs::create_directories(link ? test.LastFile().parent_path() : test.LastFile());
    if (link)
        fs::create_symlink(elsewhere, test.LastFile());
    test.Open();
    test.Edit(Id::FilterLocalPort)->setText("80");
    test.Click(Id::Ok);
    QCOMPARE(test.messages.value(test.messages.size() - 1), "创建保存文件失败");
    QVERIFY(test.dialog->isVisible());
    QCOMPARE(test.Edit(Id::FilterLocalPort)->text(), "80");
    QCOMPARE(ReadBytes(elsewhere), FilterFile::Encode(BothLanSwitches()));
}

void FilterDialogTest::layoutAndColours() {
    DialogUnderTest test;
    FilterDialog& dialog = test.Open();
    QCOMPARE(dialog.windowTitle(), "监控条件编辑");
    QVERIFY(dialog.Control<QPushButton>(Id::Ok)->isDefault());
    QCOMPARE(dialog.font().pointSize(), 10);
    const QColor blue(0, 0, 255);
    QCOMPARE(dialog.Control(Id::HelpLine1)->palette().color(QPalette::WindowText), blue);
    QCOMPARE(dialog.Control(Id::HelpLine2)->palette().color(QPalette::WindowText), blue);
    QVERIFY(dialog.Control(Id::FilterBroadcast)->palette().color(QPalette::WindowText) != blue);
    QCOMPARE(dialog.Control<QLabel>(Id::HelpLine2)->text(),
             "2、多个端口或IP请用 | 隔开,例如192.168.0.25@|192.168.0.240。");
    // The frames let clicks through to the switches inside them.
    QTest::mouseClick(dialog.Control(Id::MonitorUdp), Qt::LeftButton);
    QVERIFY(test.Box(Id::MonitorUdp)->isChecked());
    QVERIFY(dialog.Control(Id::FilterLocalPort)->geometry().right() <
            dialog.Control(1014)->geometry().right());
}

void FilterDialogTest::controlsComeOnlyAsTheirOwnType() {
#ifdef QT_NO_DEBUG
    DialogUnderTest test;
    FilterDialog& dialog = test.Open();
    QVERIFY(dialog.Control<QCheckBox>(Id::FilterBroadcast) != nullptr);
    QVERIFY(dialog.Control<QWidget>(Id::FilterLocalPort) != nullptr);
    // Never the wrong widget behind the asked type: a caller's mistake fails at once.
    QCOMPARE(dialog.Control<QLineEdit>(Id::FilterBroadcast), nullptr);
    QCOMPARE(dialog.Control<QCheckBox>(Id::Ok), nullptr);
    QCOMPARE(dialog.Control<QWidget>(9999), nullptr);
#else
    QSKIP("debug builds stop at the assertion instead");
#endif
}

void FilterDialogTest::shippedFactorySettings() {
    FilterSettings factory;
    QCOMPARE(FilterFile::Load(TALVANE_DEFAULT_FILTER, factory), FilterFile::ReadResult::Loaded);
    FilterSettings expected;
    expected.filterBroadcast = 1;
    QCOMPARE(factory, expected);
}

QTEST_MAIN(FilterDialogTest)
#include "FilterDialogTest.moc"
