#include "DialogBuilder.h"

#include "chrome/CStaticLink.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <algorithm>
#include <limits>

namespace talvane {

namespace {

QWidget* CreateControl(const DialogTemplate::Control& control, bool hasDefaultButton,
                       QWidget* client) {
    const QString text = QString::fromUtf8(control.text);
    switch (control.kind) {
    case DialogTemplate::Kind::ListView:
        return new QTableView(client);
    case DialogTemplate::Kind::RichEdit: {
        auto* edit = new QPlainTextEdit(client);
        edit->setReadOnly(true);
        // Both scroll bars: a line wider than the view scrolls sideways instead of breaking.
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        return edit;
    }
    case DialogTemplate::Kind::Static: {
        auto* label = new QLabel(text, client);
        // Statics later show texts from outside, such as process names: never markup.
        label->setTextFormat(Qt::PlainText);
        return label;
    }
    case DialogTemplate::Kind::Link: {
        auto* link = new CStaticLink(control.id, client);
        link->setText(text);
        return link;
    }
    case DialogTemplate::Kind::PushButton: {
        auto* button = new QPushButton(text, client);
        // Without a default button Enter presses nothing, not even the button shown first; with
        // one, Enter presses the focused button or else the default one.
        button->setAutoDefault(hasDefaultButton);
        return button;
    }
    case DialogTemplate::Kind::DefaultPushButton: {
        auto* button = new QPushButton(text, client);
        button->setDefault(true);
        return button;
    }
    case DialogTemplate::Kind::ComboBox: {
        auto* combo = new QComboBox(client);
        combo->setEditable(true);
        // The items mirror a list by index: typing never adds one.
        combo->setInsertPolicy(QComboBox::NoInsert);
        return combo;
    }
    case DialogTemplate::Kind::CheckBox:
        return new QCheckBox(text, client);
    case DialogTemplate::Kind::GroupBox: {
        auto* frame = new QGroupBox(text, client);
        // A frame only frames: clicks go to the controls inside it.
        frame->setAttribute(Qt::WA_TransparentForMouseEvents);
        return frame;
    }
    case DialogTemplate::Kind::Icon: {
        auto* icon = new QLabel(client);
        icon->setPixmap(QPixmap(text));
        return icon;
    }
    case DialogTemplate::Kind::Edit: {
        auto* edit = new QLineEdit(client);
        // Pattern fields have no length limit of their own.
        edit->setMaxLength(std::numeric_limits<int>::max());
        return edit;
    }
    }
    return nullptr;
}

} // namespace

QFont DialogBuilder::DialogFont(int pointSize) {
    QFont font;
    font.setFamilies({"SimSun", "Noto Sans CJK SC", "WenQuanYi Micro Hei"});
    font.setPointSize(pointSize);
    return font;
}

DialogUnits DialogBuilder::UnitsFor(const QFont& font) {
    const QFontMetrics metrics(font);
    const int alphabetWidth =
        metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return DialogUnits((alphabetWidth / 26 + 1) / 2, metrics.height());
}

ControlMap DialogBuilder::Build(const DialogTemplate& dialog, QWidget* client) {
    const DialogUnits units = UnitsFor(client->font());
    const bool hasDefaultButton =
        std::ranges::any_of(dialog.controls, [](const DialogTemplate::Control& control) {
            return control.kind == DialogTemplate::Kind::DefaultPushButton;
        });
    ControlMap controls;
    for (const DialogTemplate::Control& control : dialog.controls) {
        QWidget* widget = CreateControl(control, hasDefaultButton, client);
        const DialogUnits::Rect rect =
            units.Map(control.x, control.y, control.width, control.height);
        // A combo box's template height includes its drop-down list; the box itself keeps the
        // height of its edit field.
        const int height = control.kind == DialogTemplate::Kind::ComboBox
                               ? widget->sizeHint().height()
                               : rect.height;
        widget->setGeometry(rect.x, rect.y, rect.width, height);
        // An icon is shown at its own size, whatever room the template gives it.
        if (control.kind == DialogTemplate::Kind::Icon)
            widget->resize(widget->sizeHint());
        if (control.kind == DialogTemplate::Kind::GroupBox)
            widget->lower();
        if (control.id != DialogTemplate::NoId)
            controls.Add(control.id, widget);
    }
    return controls;
}

QSize DialogBuilder::ClientSize(const DialogTemplate& dialog, const QFont& font) {
    const DialogUnits units = UnitsFor(font);
    return {units.X(dialog.width), units.Y(dialog.height)};
}

} // namespace talvane
