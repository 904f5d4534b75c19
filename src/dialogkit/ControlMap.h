#pragma once

#include <QString>
#include <QWidget>
#include <QtGlobal>
#include <map>

namespace talvane {

// The controls of a built dialog, by control id.
class ControlMap {
public:
    void Add(int controlId, QWidget* control) { controls[controlId] = control; }

    // The control as the type the caller expects. An id the dialog lacks, or a control of
    // another type, is the caller's mistake: debug builds stop here, others get null rather than
    // a pointer to the wrong widget.
    template <typename W = QWidget> W* Get(int controlId) const {
        const auto found = controls.find(controlId);
        W* control = found == controls.end() ? nullptr : qobject_cast<W*>(found->second);
        Q_ASSERT_X(
            control != nullptr, "ControlMap::Get",
            qPrintable(QStringLiteral("control %1 is missing or of another type").arg(controlId)));
        return control;
    }

private:
    std::map<int, QWidget*> controls;
};

} // namespace talvane
