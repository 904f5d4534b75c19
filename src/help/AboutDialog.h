#pragma once

#include <QDialog>
#include <map>

// The About box: the version, the author, and links to the maker's web site and the author's
// mail address. Made anew for every showing.
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);

    QWidget* Control(int controlId) const;

private:
    std::map<int, QWidget*> controls;
};
