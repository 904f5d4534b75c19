#pragma once

#include "../ui/ControlMap.h"
#include <QDialog>

// The About box: the version, the author, and links to the maker's web site and the author's
// mail address. Made anew for every showing.
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);

    QWidget* Control(int controlId) const;

private:
    ControlMap controls;
};
