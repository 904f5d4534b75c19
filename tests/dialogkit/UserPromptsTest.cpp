#include "dialogkit/UserPrompts.h"
#include "support/NextModal.h"

#include <QMessageBox>
#include <QtTest>

using namespace talvane;

class UserPromptsTest : public QObject {
    Q_OBJECT

private slots:
    void messageBoxHasRoomForItsCaption();
};

// However short its text, the box leaves its caption "Talvane" room in the title bar beside the
// window manager's icon and three buttons, with a margin either side: six squares a line high.
void UserPromptsTest::messageBoxHasRoomForItsCaption() {
    int width = 0;
    int needed = 0;
    const NextModal<QMessageBox> answer([&](QMessageBox& box) {
        QFont bold = box.font();
        bold.setBold(true);
        const QFontMetrics caption(bold);
        needed = caption.horizontalAdvance("Talvane") + 6 * caption.height();
        width = box.width();
        box.accept();
    });
    UserPrompts::MessageBox("短");
    QVERIFY(answer.Seen());
    QVERIFY2(width >= needed, qPrintable(QString("%1 < %2").arg(width).arg(needed)));
}

QTEST_MAIN(UserPromptsTest)
#include "UserPromptsTest.moc"
