#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <functional>

namespace talvane {

// A modal dialog runs its own loop, so a test answers it from there: the first visible modal
// Dialog other than except that comes up is handed to act, once.
template <typename Dialog> class NextModal {
public:
    explicit NextModal(std::function<void(Dialog&)> act, const QWidget* except = nullptr) {
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [this, act = std::move(act), except] {
            auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (!dialog || dialog == except || !dialog->isVisible())
                return;
            poll.stop();
            seen = dialog;
            act(*dialog);
        });
        poll.start();
    }

    // Whether a dialog came and was answered.
    bool Seen() const { return !poll.isActive(); }
    // The dialog answered; null again once it is destroyed.
    QPointer<Dialog> seen;

private:
    QTimer poll;
};

} // namespace talvane
