#pragma once

#include <QObject>

class QPlainTextEdit;

namespace talvane {

// Opens the data view's copy menu for a right-button press anywhere in the program while the view
// has the keyboard focus. The view asks for no menu of its own. Goes with the view.
class DumpMenuRoute : public QObject {
    Q_OBJECT

public:
    explicit DumpMenuRoute(QPlainTextEdit* dataView);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPlainTextEdit* dataView;
    // The menu request that this route itself sends.
    bool opening = false;
};

} // namespace talvane
