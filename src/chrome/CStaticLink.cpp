#include "CStaticLink.h"

#include "res/StringTable.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMouseEvent>
#include <QUrl>

namespace talvane {

CStaticLink::CStaticLink(int controlId, QWidget* parent) : QLabel(parent), controlId(controlId) {
    QFont underlined;
    underlined.setUnderline(true);
    setFont(underlined);
    setCursor(Qt::PointingHandCursor);
    ApplyColour();
}

bool CStaticLink::FollowLink() {
    if (target_.isEmpty()) {
        target_ = QString::fromUtf8(StringTable::Find(controlId));
        if (target_.isEmpty())
            target_ = text();
    }
    if (target_.isEmpty())
        return false;
    if (!QDesktopServices::openUrl(QUrl(target_))) {
        QApplication::beep();
        return false;
    }
    colour = VisitedColour;
    ApplyColour();
    update();
    return true;
}

void CStaticLink::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        FollowLink();
        return;
    }
    QLabel::mousePressEvent(event);
}

void CStaticLink::ApplyColour() {
    QPalette linkPalette = palette();
    linkPalette.setColor(QPalette::WindowText, colour);
    setPalette(linkPalette);
}

} // namespace talvane
