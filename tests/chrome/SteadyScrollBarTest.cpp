#include "chrome/SteadyScrollBar.h"

#include <QApplication>
#include <QScreen>
#include <QtTest>

using namespace talvane;

namespace {

// Counts the paints of the widget it watches.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

} // namespace

class SteadyScrollBarTest : public QObject {
    Q_OBJECT

private slots:
    void barOnScreenIsAlwaysTheBarAsDrawnNow();
};

// A list's bar through growth at its end, a scroll back and more growth, each a new range and then
// a value: what the screen shows is always the bar drawn afresh, and it was drawn again only where
// something in it moved.
void SteadyScrollBarTest::barOnScreenIsAlwaysTheBarAsDrawnNow() {
    QWidget window;
    auto* bar = new SteadyScrollBar(Qt::Vertical, &window);
    bar->setGeometry(0, 0, 16, 200);
    bar->setPageStep(20);
    PaintCounter counter;
    bar->installEventFilter(&counter);
    window.resize(40, 220);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    struct Step {
        int maximum;
        int value;
        bool redrawn;
    };
    const Step steps[] = {{10, 10, true},      {5000, 5000, true},  {5100, 5100, false},
                          {5200, 5200, false}, {5200, 2600, true},  {5300, 2600, true},
                          {5300, 5300, true},  {5400, 5400, false}, {0, 0, true}};
    for (const Step& step : steps) {
        const int before = counter.paints;
        bar->Hold();
        bar->setRange(0, step.maximum);
        bar->setValue(step.value);
        bar->Release();
        // Qt draws a window's changes at its next update request, a few milliseconds on.
        QTest::qWait(30);
        const QString at = QStringLiteral("at %1 of %2").arg(step.value).arg(step.maximum);
        QVERIFY2((counter.paints > before) == step.redrawn, qPrintable(at));
        const QImage shown = window.screen()->grabWindow(window.winId(), 0, 0, 16, 200).toImage();
        QVERIFY2(shown == bar->grab().toImage().convertToFormat(shown.format()), qPrintable(at));
    }
}

QTEST_MAIN(SteadyScrollBarTest)
#include "SteadyScrollBarTest.moc"
