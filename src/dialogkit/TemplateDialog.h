#pragma once

#include "ControlMap.h"
#include "res/DialogTemplate.h"

#include <QDialog>

// A fixed-size dialog whose caption, font and controls come from a dialog template.
class TemplateDialog : public QDialog {
    Q_OBJECT

public:
    TemplateDialog(const DialogTemplate& dialog, QWidget* parent);

    // Null for an id the template does not have.
    QWidget* Control(int controlId) const { return controls.Find(controlId); }

protected:
    // Closes the dialog as accepted or rejected from the push buttons with these ids.
    void CloseOn(int acceptId, int rejectId = DialogTemplate::NoId);

private:
    ControlMap controls;
};
