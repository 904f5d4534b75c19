#pragma once

#include "FilterSettings.h"
#include "base/FileReplacement.h"
#include "dialogkit/TemplateDialog.h"
#include "dialogkit/UserPrompts.h"

#include <filesystem>

namespace talvane {

// Edits the filter settings: five switches and six pattern fields, with export, import and the
// factory settings. OK validates the fields and writes filters/last.ft in the user's settings
// folder, which is the only way a change reaches the classifier.
class FilterDialog : public TemplateDialog {
    Q_OBJECT

public:
    static std::filesystem::path LastFile(const std::filesystem::path& settingsDirectory);
    static std::filesystem::path DefaultFile(const std::filesystem::path& dataDirectory);

    // settings is the edited copy; it outlives the dialog and keeps its values between showings.
    // The factory settings are read from the read-only dataDirectory; the user's own are kept in
    // settingsDirectory, made as needed.
    FilterDialog(FilterSettings& settings, const std::filesystem::path& dataDirectory,
                 const std::filesystem::path& settingsDirectory,
                 UserPrompts::ShowMessage showMessage, UserPrompts::ChooseFile chooseFile,
                 QWidget* parent = nullptr);

    void Export();
    void Import();
    void RestoreDefaults();

public slots:
    void accept() override;

private:
    void OnInitDialog();
    // Shows the validation message of the first invalid field; returns whether all are valid.
    bool ValidatePatternFields();
    FileReplacement::Outcome SaveFilterFile(const std::filesystem::path& path);
    bool LoadFilterFile(const std::filesystem::path& path);
    void ShowInControls(const FilterSettings& shown);
    FilterSettings FromControls() const;
    void MakeLanSwitchesExclusive();

    FilterSettings& settings;
    std::filesystem::path lastFile;
    std::filesystem::path defaultFile;
    UserPrompts::ShowMessage showMessage;
    UserPrompts::ChooseFile chooseFile;
};

} // namespace talvane
