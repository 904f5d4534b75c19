#include "filtering/PatternList.h"
#include "filtering/PatternValidation.h"

#include <QtTest>

using namespace talvane;

namespace {

QString Message(std::string_view message) {
    return QString::fromUtf8(message.data(), qsizetype(message.size()));
}

QStringList Entries(const PatternList& list) {
    QStringList entries;
    for (const std::string& entry : list.Entries())
        entries << QString::fromStdString(entry);
    return entries;
}

} // namespace

class PatternListTest : public QObject {
    Q_OBJECT

private slots:
    void validatesPortAlternatives_data();
    void validatesPortAlternatives();
    void validatesAddressAlternatives_data();
    void validatesAddressAlternatives();
    void validationStopsAtTheFirstBadField_data();
    void validationStopsAtTheFirstBadField();
    void parsesAndNormalises_data();
    void parsesAndNormalises();
    void matches_data();
    void matches();
};

void PatternListTest::validatesPortAlternatives_data() {
    QTest::addColumn<QString>("alternative");
    QTest::addColumn<QString>("message");

    const QString own = "过滤本地端口号非法";
    const QString range = "端口号范围为0--65535";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("65535") << "65535"
                           << "";
    QTest::newRow("65536") << "65536" << range;
    QTest::newRow("7@@@@") << "7@@@@" << range;
    QTest::newRow("6553@") << "6553@"
                           << "";
    QTest::newRow("6@@@@") << "6@@@@"
                           << "";
    QTest::newRow("99999") << "99999" << range;
    QTest::newRow("65545: greater after equal digits") << "65545" << range;
    QTest::newRow("59999: smaller digit decides") << "59999"
                                                  << "";
    QTest::newRow("six characters skip the range") << "099999"
                                                   << "";
    QTest::newRow("123456") << "123456"
                            << "";
    QTest::newRow("8a") << "8a" << own;
    QTest::newRow("leading blank") << " 80" << own;
    QTest::newRow("dot") << "8.0" << own;
}

void PatternListTest::validatesPortAlternatives() {
    QFETCH(QString, alternative);
    QFETCH(QString, message);
    const std::string text = alternative.toStdString();
    QCOMPARE(Message(PatternValidation::ValidatePortAlternative(text, "过滤本地端口号非法")),
             message);
}

void PatternListTest::validatesAddressAlternatives_data() {
    QTest::addColumn<QString>("alternative");
    QTest::addColumn<QString>("message");

    const QString data = "IP数据非法";
    const QString format = "IP数据格式非法";
    const QString range = "IP范围为0.0.0.0--255.255.255.255";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("plain") << "192.168.0.25"
                           << "";
    QTest::newRow("wildcards") << "192.168.0.25@"
                               << "";
    QTest::newRow("1.2.3") << "1.2.3" << format;
    QTest::newRow("1..2.3") << "1..2.3" << format;
    QTest::newRow("1.2.3.") << "1.2.3." << format;
    QTest::newRow("1.2.3.4444") << "1.2.3.4444" << format;
    QTest::newRow("256.1.1.1") << "256.1.1.1" << range;
    QTest::newRow("1.1.1.3@@") << "1.1.1.3@@" << range;
    QTest::newRow("2@9.1.1.1") << "2@9.1.1.1"
                               << "";
    QTest::newRow("25@.1.1.1") << "25@.1.1.1"
                               << "";
    QTest::newRow("255.255.255.255") << "255.255.255.255"
                                     << "";
    QTest::newRow("1.2.3.a") << "1.2.3.a" << data;
    QTest::newRow("range before a later empty octet") << "300..1.1" << range;
    QTest::newRow("five dots") << "1.2.3.4.5" << format;
}

void PatternListTest::validatesAddressAlternatives() {
    QFETCH(QString, alternative);
    QFETCH(QString, message);
    const std::string text = alternative.toStdString();
    QCOMPARE(Message(PatternValidation::ValidateAddressAlternative(text)), message);
}

void PatternListTest::validationStopsAtTheFirstBadField_data() {
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("message");

    QTest::newRow("all empty") << QStringList{"", "", "", "", "", ""} << "";
    QTest::newRow("all valid") << QStringList{"80|8080", "|", "800@", "", "10.0.0.@", "1.2.3.4|"}
                               << "";
    QTest::newRow("filter local") << QStringList{"8a", "", "", "", "", ""} << "过滤本地端口号非法";
    QTest::newRow("filter remote before filter IP")
        << QStringList{"80", "x", "", "", "1.2.3", ""} << "过滤远程端口号非法";
    QTest::newRow("monitor local")
        << QStringList{"", "", "80|y", "", "", ""} << "监控本地端口号非法";
    QTest::newRow("monitor remote")
        << QStringList{"", "", "", "80||-1", "", ""} << "监控远程端口号非法";
    QTest::newRow("range in the second alternative")
        << QStringList{"80|70000", "", "", "", "", ""} << "端口号范围为0--65535";
    QTest::newRow("ports before addresses")
        << QStringList{"", "", "", "", "999.1.1.1", "1"} << "IP范围为0.0.0.0--255.255.255.255";
    QTest::newRow("monitor IP") << QStringList{"", "", "", "", "", "1.2.3.4|5"} << "IP数据格式非法";
}

void PatternListTest::validationStopsAtTheFirstBadField() {
    QFETCH(QStringList, fields);
    QFETCH(QString, message);

    std::array<std::string, 6> texts;
    PatternValidation::Fields views;
    for (std::size_t index = 0; index < texts.size(); ++index) {
        texts[index] = fields[qsizetype(index)].toStdString();
        views[index] = texts[index];
    }
    QCOMPARE(Message(PatternValidation::ValidatePatternFields(views)), message);
}

void PatternListTest::parsesAndNormalises_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("address");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("empty field") << "" << false << QStringList{};
    QTest::newRow("two ports") << "80|8080" << false << QStringList{"80", "8080"};
    QTest::newRow("leading bar") << "|80" << false << QStringList{"", "80"};
    QTest::newRow("double bar") << "80||81" << false << QStringList{"80", "", "81"};
    QTest::newRow("trailing bar") << "80|" << false << QStringList{"80"};
    QTest::newRow("bar alone") << "|" << false << QStringList{""};
    QTest::newRow("0@") << "0@" << false << QStringList{"@"};
    QTest::newRow("00 and 000") << "00|000" << false << QStringList{"0", "0"};
    QTest::newRow("0080") << "0080" << false << QStringList{"80"};
    QTest::newRow("099999") << "099999" << false << QStringList{"99999"};
    QTest::newRow("address zeros") << "192.168.000.001" << true << QStringList{"192.168.0.1"};
    QTest::newRow("first octet") << "010.0.0.1" << true << QStringList{"10.0.0.1"};
    QTest::newRow("wildcard octet kept") << "0@.00.000.0" << true << QStringList{"@.0.0.0"};
    QTest::newRow("address alternatives") << "|10.0.0.@|" << true << QStringList{"", "10.0.0.@"};
    QTest::newRow("too few dots") << "01.002" << true << QStringList{"1.2"};
    QTest::newRow("too many dots") << "01.02.03.04.05" << true << QStringList{"1.2.3.4.05"};
    QTest::newRow("no dots") << "0007" << true << QStringList{"7"};
}

void PatternListTest::parsesAndNormalises() {
    QFETCH(QString, field);
    QFETCH(bool, address);
    QFETCH(QStringList, entries);

    const PatternList list = PatternList::ParsePatternField(
        field.toStdString(), address ? PatternList::Kind::Address : PatternList::Kind::Port);
    QCOMPARE(Entries(list), entries);
}

void PatternListTest::matches_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("match");

    QTest::newRow("800@ 8005") << "800@"
                               << "8005" << true;
    QTest::newRow("800@ 800") << "800@"
                              << "800" << false;
    QTest::newRow("800@ 80000") << "800@"
                                << "80000" << false;
    QTest::newRow("@ 7") << "@"
                         << "7" << true;
    QTest::newRow("@ 10") << "@"
                          << "10" << false;
    QTest::newRow("@@ 99") << "@@"
                           << "99" << true;
    QTest::newRow("8@8@ 8989") << "8@8@"
                               << "8989" << true;
    QTest::newRow("8@8@ 8090") << "8@8@"
                               << "8090" << false;
    QTest::newRow("address wildcard") << "192.168.0.25@"
                                      << "192.168.0.250" << true;
    QTest::newRow("10.0.0.@ 10.0.0.9") << "10.0.0.@"
                                       << "10.0.0.9" << true;
    QTest::newRow("10.0.0.@ 10.0.0.10") << "10.0.0.@"
                                        << "10.0.0.10" << false;
    QTest::newRow("unparsed 0080 against 80") << "0080"
                                              << "80" << false;
    QTest::newRow("parsed 0080 against 80") << "80"
                                            << "80" << true;
    QTest::newRow("@ in the value") << "12"
                                    << "1@" << true;
    QTest::newRow("both empty") << ""
                                << "" << true;
}

void PatternListTest::matches() {
    QFETCH(QString, pattern);
    QFETCH(QString, value);
    QFETCH(bool, match);
    QCOMPARE(PatternMatches(pattern.toStdString(), value.toStdString()), match);
}

QTEST_APPLESS_MAIN(PatternListTest)
#include "PatternListTest.moc"
