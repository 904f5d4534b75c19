#include "DialogBuilder.h"

#include "../chrome/CStaticLink.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>

namespace {

QWidget* CreateControl(const DialogTemplate::Control& control, QWidget* client) {
    const QString text = QString::fromUtf8(control.text);
    switch (control.kind) {
    case DialogTemplate::Kind::ListView:
        return new QTableView(client);
    case DialogTemplate::Kind::RichEdit: {
        auto* edit = new QPlainTextEdit(client);
        edit->setReadOnly(true);
        return edit;
    }
    case DialogTemplate::Kind::Static:
        return new QLabel(text, client);
    case DialogTemplate::Kind::Link: {
        auto* link = new CStaticLink(control.id, client);
        link->setText(text);
        return link;
    }
    case DialogTemplate::Kind::PushButton: {
        auto* button = new QPushButton(text, client);
        // Enter must not press a button that merely has been shown first.
        button->setAutoDefault(false);
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

std::map<int, QWidget*> DialogBuilder::Build(const DialogTemplate& dialog, QWidget* client) {
    const DialogUnits units = UnitsFor(client->font());
    std::map<int, QWidget*> controls;
    for (const DialogTemplate::Control& control : dialog.controls) {
        QWidget* widget = CreateControl(control, client);
        const DialogUnits::Rect rect =
            units.Map(control.x, control.y, control.width, control.height);
        // A combo box's template height includes its drop-down list; the box itself keeps the
        // height of its edit field.
        const int height = control.kind == DialogTemplate::Kind::ComboBox
                               ? widget->sizeHint().height()
                               : rect.height;
        widget->setGeometry(rect.x, rect.y, rect.width, height);
        controls[control.id] = widget;
    }
    return controls;
}

QSize DialogBuilder::ClientSize(const DialogTemplate& dialog, const QFont& font) {
    const DialogUnits units = UnitsFor(font);
    return {units.X(dialog.width), units.Y(dialog.height)};
}
