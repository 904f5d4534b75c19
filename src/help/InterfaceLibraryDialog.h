#pragma once

#include "../ui/ControlMap.h"
#include <QDialog>

// Tells that a data-processing interface for monitored data comes in a later version; the notice
// links to the maker's web site. The main window keeps one and shows it again on every request.
class InterfaceLibraryDialog : public QDialog {
    Q_OBJECT

public:
    explicit InterfaceLibraryDialog(QWidget* parent = nullptr);

    QWidget* Control(int controlId) const;

private:
    ControlMap controls;
};
