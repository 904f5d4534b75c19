#include "res/LayoutRule.h"
#include "res/LayoutRules.h"

#include <QtTest>

using namespace talvane;

using Rect = LayoutRule::Rect;
Q_DECLARE_METATYPE(Rect)

class LayoutRuleTest : public QObject {
    Q_OBJECT

private slots:
    void modes_data();
    void modes();
};

void LayoutRuleTest::modes_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("percentage");
    QTest::addColumn<int>("dx");
    QTest::addColumn<int>("dy");
    QTest::addColumn<Rect>("expected");
    const Rect start{10, 20, 300, 200};
    QTest::newRow("move right") << 0 << 100 << 40 << 30 << Rect{50, 20, 300, 200};
    QTest::newRow("move down") << 1 << 98 << 40 << 100 << Rect{10, 118, 300, 200};
    QTest::newRow("move right and down") << 2 << 50 << 41 << 31 << Rect{30, 35, 300, 200};
    QTest::newRow("widen") << 3 << 100 << -60 << 30 << Rect{10, 20, 240, 200};
    QTest::newRow("heighten") << 4 << 50 << 40 << 99 << Rect{10, 20, 300, 249};
    QTest::newRow("widen and heighten") << 5 << 50 << 3 << -3 << Rect{10, 20, 301, 199};
    // Truncation toward zero: a shrink of 3 at 50 percent is 1, not 2.
    QTest::newRow("shrinking truncates toward zero")
        << 1 << 50 << 0 << -3 << Rect{10, 19, 300, 200};
    QTest::newRow("unknown mode stays") << 6 << 100 << 40 << 30 << start;
    QTest::newRow("negative mode stays") << -1 << 100 << 40 << 30 << start;
}

void LayoutRuleTest::modes() {
    QFETCH(int, mode);
    QFETCH(int, percentage);
    QFETCH(int, dx);
    QFETCH(int, dy);
    QFETCH(Rect, expected);
    const LayoutRule rule{0, mode, percentage};
    QVERIFY(rule.Valid());
    QCOMPARE(rule.Apply({10, 20, 300, 200}, dx, dy), expected);
    QVERIFY(!LayoutRule({0, 1, 101}).Valid());
    QVERIFY(!LayoutRule({0, 1, -1}).Valid());
    QCOMPARE(MainWindowLayoutRules.size(), std::size_t{14});
}

QTEST_APPLESS_MAIN(LayoutRuleTest)
#include "LayoutRuleTest.moc"
