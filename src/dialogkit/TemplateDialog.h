#pragma once

#include "ControlMap.h"
#include "res/DialogTemplate.h"

#include <QDialog>

namespace talvane {

// A fixed-size dialog whose caption, font and controls come from a dialog template.
class TemplateDialog : public QDialog {
    Q_OBJECT

public:
    TemplateDialog(const DialogTemplate& dialog, QWidget* parent);

    // The control of the template with this id, as the type it was built as.
    template <typename W = QWidget> W* Control(int controlId) const {
        return controls.Get<W>(controlId);
    }

protected:
    // Closes the dialog as accepted or rejected from the push buttons with these ids; a dialog
    // without a button that rejects passes no reject id.
    void CloseOn(int acceptId, int rejectId = DialogTemplate::NoId);

private:
    ControlMap controls;
};

} // namespace talvane
