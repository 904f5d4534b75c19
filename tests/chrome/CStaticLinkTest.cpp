#include "chrome/CStaticLink.h"
#include "support/UrlRecorder.h"

#include <QtTest>

using namespace talvane;

class CStaticLinkTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void clickOpensTheTargetNotTheText();
    void withoutTargetTheTextIsOpenedAndKept();
    void withoutAnyTargetNothingHappens();
    void failedOpenKeepsTheLinkUnvisited();
    void looksLikeALink();

private:
    std::unique_ptr<UrlRecorder> recorder;
};

void CStaticLinkTest::init() {
    // The old recorder lets go of the handlers before the new one takes them.
    recorder.reset();
    recorder = std::make_unique<UrlRecorder>();
}

void CStaticLinkTest::clickOpensTheTargetNotTheText() {
    CStaticLink link(1036);
    link.setText("Web: talvane.example.org");
    link.SetTarget("https://talvane.example.org/");
    link.resize(200, 20);
    link.show();

    QTest::mouseClick(&link, Qt::LeftButton);
    QTest::mouseClick(&link, Qt::RightButton);

    QCOMPARE(recorder->opened, QList<QUrl>{QUrl("https://talvane.example.org/")});
}

void CStaticLinkTest::withoutTargetTheTextIsOpenedAndKept() {
    CStaticLink link(1037);
    link.setText("mailto:talvane@example.org");

    QVERIFY(link.FollowLink());
    link.setText("changed afterwards");
    QVERIFY(link.FollowLink());

    const QUrl mail("mailto:talvane@example.org");
    QCOMPARE(recorder->opened, (QList<QUrl>{mail, mail}));
    QCOMPARE(link.Target(), mail.toString());
}

void CStaticLinkTest::withoutAnyTargetNothingHappens() {
    CStaticLink link(1013);
    QVERIFY(!link.FollowLink());
    QVERIFY(recorder->opened.isEmpty());
}

void CStaticLinkTest::failedOpenKeepsTheLinkUnvisited() {
    CStaticLink link(1014);
    // Not a URL at all: the desktop cannot open it.
    link.SetTarget("http://[broken");
    QVERIFY(!link.FollowLink());
    QCOMPARE(link.Colour(), CStaticLink::UnvisitedColour);
    QVERIFY(recorder->opened.isEmpty());
}

void CStaticLinkTest::looksLikeALink() {
    CStaticLink link(1032);
    link.setText("更多帮助...");
    link.SetTarget("https://talvane.example.org/help");
    link.resize(link.sizeHint());
    const QImage unvisited = link.grab().toImage();
    // The underline: one row of pure blue under most of the text.
    const QColor blue(0, 0, 255);
    int underline = 0;
    for (int y = 0; y < unvisited.height(); ++y) {
        int run = 0;
        for (int x = 0; x < unvisited.width(); ++x) {
            run = unvisited.pixelColor(x, y) == blue ? run + 1 : 0;
            underline = std::max(underline, run);
        }
    }
    QVERIFY2(underline > unvisited.width() / 2, qPrintable(QString::number(underline)));
    QCOMPARE(link.cursor().shape(), Qt::PointingHandCursor);

    // A followed link keeps its look.
    QVERIFY(link.FollowLink());
    QCOMPARE(link.grab().toImage(), unvisited);
}

QTEST_MAIN(CStaticLinkTest)
#include "CStaticLinkTest.moc"
