#include "ui/StatusPane.h"
#include "dialogkit/DialogBuilder.h"

#include <QApplication>
#include <QScreen>
#include <QtTest>

using namespace talvane;

class StatusPaneTest : public QObject {
    Q_OBJECT

private slots:
    void paneLooksAsASunkenLabel_data();
    void paneLooksAsASunkenLabel();
};

void StatusPaneTest::paneLooksAsASunkenLabel_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("clock") << QString::fromUtf8("监控时间 0:1:5:300") << true;
    QTest::newRow("clock after hours") << QString::fromUtf8("监控时间 27:59:59:900") << true;
    QTest::newRow("clock at start") << QString::fromUtf8("监控时间 00:00:00") << true;
    QTest::newRow("stream") << QString::fromUtf8("监控流 2147483647") << true;
    QTest::newRow("filtered") << QString::fromUtf8("过滤数据包:-12") << true;
    QTest::newRow("state") << QString::fromUtf8("监控状态: 暂停") << true;
    QTest::newRow("longer than the pane")
        << QString::fromUtf8("监控时间 1234567:59:59:900 已超出") << true;
    QTest::newRow("a character from another font") << QString::fromUtf8("监控流 😀 ∰") << true;
    QTest::newRow("empty") << QString() << true;
    QTest::newRow("disabled") << QString::fromUtf8("监控流 7") << false;
}

// Drawn whole or only its new text, a pane looks exactly as the label of its frame and text does.
void StatusPaneTest::paneLooksAsASunkenLabel() {
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    QWidget window;
    window.setFont(DialogBuilder::DialogFont(9));
    auto* pane = new StatusPane(QString::fromUtf8("监控时间 00:00:00"), &window);
    auto* label = new QLabel(text, &window);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    for (QLabel* shown : {static_cast<QLabel*>(pane), label}) {
        shown->setEnabled(enabled);
        shown->resize(120, 20);
    }
    label->move(0, 30);
    window.resize(140, 60);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    pane->SetText(text);
    QCoreApplication::processEvents();
    const QImage expected = label->grab().toImage();
    const QImage shownOnScreen = window.screen()
                                     ->grabWindow(window.winId(), 0, 0, 120, 20)
                                     .toImage()
                                     .convertToFormat(expected.format());
    QCOMPARE(shownOnScreen, expected);
    QCOMPARE(pane->grab().toImage().convertToFormat(expected.format()), expected);
}

QTEST_MAIN(StatusPaneTest)
#include "StatusPaneTest.moc"
