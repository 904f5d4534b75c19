#include "FilterDialog.h"

#include "FilterFile.h"
#include "PatternValidation.h"
#include "chrome/CStaticLink.h"
#include "res/Branding.h"
#include "res/FilterDialogTemplate.h"
#include "res/MessageTexts.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace talvane {

namespace Id = FilterControlId;

namespace {

struct SwitchBinding {
    int controlId;
    std::int32_t FilterSettings::*field;
};

struct TextBinding {
    int controlId;
    std::string FilterSettings::*field;
};

constexpr SwitchBinding Switches[] = {
    {Id::FilterBroadcast, &FilterSettings::filterBroadcast},
    {Id::FilterLan, &FilterSettings::filterLan},
    {Id::MonitorUdp, &FilterSettings::monitorUdp},
    {Id::MonitorTcp, &FilterSettings::monitorTcp},
    {Id::MonitorLan, &FilterSettings::monitorLan},
};

constexpr TextBinding Texts[] = {
    {Id::FilterLocalPort, &FilterSettings::filterLocalPortText},
    {Id::FilterRemotePort, &FilterSettings::filterRemotePortText},
    {Id::FilterIp, &FilterSettings::filterIpText},
    {Id::MonitorLocalPort, &FilterSettings::monitorLocalPortText},
    {Id::MonitorRemotePort, &FilterSettings::monitorRemotePortText},
    {Id::MonitorIp, &FilterSettings::monitorIpText},
};

// The order in which the fields are validated.
constexpr int ValidationOrder[] = {Id::FilterLocalPort,  Id::FilterRemotePort,
                                   Id::MonitorLocalPort, Id::MonitorRemotePort,
                                   Id::FilterIp,         Id::MonitorIp};

const QString ExportFilter = QString::fromUtf8("保存过滤设置 (*.ft)");
const QString ImportFilter = QString::fromUtf8("打开过滤设置 (*.ft)");

} // namespace

std::filesystem::path FilterDialog::LastFile(const std::filesystem::path& settingsDirectory) {
    return settingsDirectory / "filters" / "last.ft";
}

std::filesystem::path FilterDialog::DefaultFile(const std::filesystem::path& dataDirectory) {
    return dataDirectory / "filters" / "default.ft";
}

FilterDialog::FilterDialog(FilterSettings& settings, const std::filesystem::path& dataDirectory,
                           const std::filesystem::path& settingsDirectory,
                           UserPrompts::ShowMessage showMessage, UserPrompts::ChooseFile chooseFile,
                           QWidget* parent)
    : TemplateDialog(FilterDialogTemplate, parent), settings(settings),
      lastFile(LastFile(settingsDirectory)), defaultFile(DefaultFile(dataDirectory)),
      showMessage(std::move(showMessage)), chooseFile(std::move(chooseFile)) {
    OnInitDialog();
}

void FilterDialog::OnInitDialog() {
    ShowInControls(settings);
    Control<CStaticLink>(Id::MoreHelp)->SetTarget(QString::fromUtf8(Branding::MakerWebAddress));
    for (int helpLine : {Id::HelpLine1, Id::HelpLine2}) {
        QLabel* line = Control<QLabel>(helpLine);
        QPalette blue = line->palette();
        blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
        line->setPalette(blue);
    }
    LoadFilterFile(lastFile);

    CloseOn(Id::Ok, Id::Cancel);
    connect(Control<QPushButton>(Id::Export), &QPushButton::clicked, this, &FilterDialog::Export);
    connect(Control<QPushButton>(Id::Import), &QPushButton::clicked, this, &FilterDialog::Import);
    connect(Control<QPushButton>(Id::RestoreDefaults), &QPushButton::clicked, this,
            &FilterDialog::RestoreDefaults);
    MakeLanSwitchesExclusive();
    Control(Id::Ok)->setFocus();
}

void FilterDialog::MakeLanSwitchesExclusive() {
    auto* filterLan = Control<QCheckBox>(Id::FilterLan);
    auto* monitorLan = Control<QCheckBox>(Id::MonitorLan);
    // Only a click excludes the other switch; a loaded file may set both.
    connect(filterLan, &QCheckBox::clicked, monitorLan, [monitorLan](bool checked) {
        if (checked)
            monitorLan->setChecked(false);
    });
    connect(monitorLan, &QCheckBox::clicked, filterLan, [filterLan](bool checked) {
        if (checked)
            filterLan->setChecked(false);
    });
}

void FilterDialog::ShowInControls(const FilterSettings& shown) {
    for (const SwitchBinding& binding : Switches)
        Control<QCheckBox>(binding.controlId)->setChecked(shown.*binding.field != 0);
    for (const TextBinding& binding : Texts)
        Control<QLineEdit>(binding.controlId)
            ->setText(QString::fromStdString(shown.*binding.field));
}

FilterSettings FilterDialog::FromControls() const {
    FilterSettings read;
    for (const SwitchBinding& binding : Switches)
        read.*binding.field = Control<QCheckBox>(binding.controlId)->isChecked();
    for (const TextBinding& binding : Texts)
        read.*binding.field = Control<QLineEdit>(binding.controlId)->text().toStdString();
    return read;
}

bool FilterDialog::ValidatePatternFields() {
    std::array<std::string, 6> texts;
    PatternValidation::Fields fields;
    for (std::size_t index = 0; index < texts.size(); ++index) {
        texts[index] = Control<QLineEdit>(ValidationOrder[index])->text().toStdString();
        fields[index] = texts[index];
    }
    const std::string_view message = PatternValidation::ValidatePatternFields(fields);
    if (message.empty())
        return true;
    showMessage(QString::fromUtf8(message.data(), qsizetype(message.size())));
    return false;
}

FileReplacement::Outcome FilterDialog::SaveFilterFile(const std::filesystem::path& path) {
    const FilterSettings edited = FromControls();
    const FileReplacement::Outcome outcome = FilterFile::Save(path, edited);
    if (outcome)
        settings = edited;
    return outcome;
}

bool FilterDialog::LoadFilterFile(const std::filesystem::path& path) {
    const FilterFile::LoadReport report = FilterFile::LoadAndReport(path, settings);
    if (!report.message.empty())
        showMessage(QString::fromStdString(report.message));
    if (report.loaded)
        ShowInControls(settings);
    return report.loaded;
}

void FilterDialog::accept() {
    if (!ValidatePatternFields())
        return;
    // A new user's settings folder does not exist yet; a folder that cannot be made fails the save.
    std::error_code ignored;
    std::filesystem::create_directories(lastFile.parent_path(), ignored);
    if (!SaveFilterFile(lastFile)) {
        showMessage(QString::fromUtf8(MessageTexts::FilterSaveFailed));
        return;
    }
    QDialog::accept();
}

void FilterDialog::Export() {
    if (!ValidatePatternFields())
        return;
    const QString path = chooseFile({UserPrompts::FileChoice::Mode::Save, ExportFilter,
                                     QStringLiteral("filter"), QStringLiteral("ft")});
    if (path.isEmpty())
        return;
    const std::filesystem::path file = path.toStdString();
    const std::string failure = MessageTexts::ExportFailure(SaveFilterFile(file), file);
    if (!failure.empty())
        showMessage(QString::fromStdString(failure));
}

void FilterDialog::Import() {
    const QString path = chooseFile(
        {UserPrompts::FileChoice::Mode::Open, ImportFilter, QString(), QStringLiteral("ft")});
    if (!path.isEmpty())
        LoadFilterFile(path.toStdString());
}

void FilterDialog::RestoreDefaults() {
    LoadFilterFile(defaultFile);
}

} // namespace talvane
