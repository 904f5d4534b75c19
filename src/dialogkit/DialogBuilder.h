#pragma once

#include "ControlMap.h"
#include "DialogUnits.h"
#include "res/DialogTemplate.h"

#include <QFont>
#include <QSize>

class QWidget;

namespace talvane {

// Builds the controls of a dialog template as child widgets of a client area.
class DialogBuilder {
public:
    // The font family list and size that every dialog uses.
    static QFont DialogFont(int pointSize);
    static DialogUnits UnitsFor(const QFont& font);

    // Creates every control of the template at its place; returns them by control id.
    static ControlMap Build(const DialogTemplate& dialog, QWidget* client);
    // The client-area size of the template in pixels.
    static QSize ClientSize(const DialogTemplate& dialog, const QFont& font);
};

} // namespace talvane
