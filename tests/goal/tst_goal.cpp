#include <signal.h>
#include <sys/resource.h>

#include <QTemporaryDir>
#include <QtTest>

#include "goal/goal_file.h"
#include "goal/goal_rules.h"
#include "test_support.h"

using hibi::Amount;
using hibi::Integer;
using hibi::testing::readBytes;
using hibi::testing::writeBytes;

class GoalTest : public QObject {
    Q_OBJECT
  private slots:
    void leadingNumberRule_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("numeric");
        QTest::newRow("plain") << "365" << 365.0 << true;
        QTest::newRow("blanks around") << " \t365 " << 365.0 << true;
        QTest::newRow("half") << "12.5" << 12.5 << true;
        QTest::newRow("exponent") << "1e3" << 1000.0 << true;
        QTest::newRow("exponent signed") << "25E-1" << 2.5 << true;
        QTest::newRow("negative") << "-5" << -5.0 << true;
        QTest::newRow("plus") << "+7" << 7.0 << true;
        QTest::newRow("leading point") << ".5" << 0.5 << true;
        QTest::newRow("trailing point") << "5." << 5.0 << true;
        QTest::newRow("grouping stops it") << "1,000" << 1.0 << false;
        QTest::newRow("trailing text") << "30days" << 30.0 << false;
        QTest::newRow("exponent without digits") << "4e" << 4.0 << false;
        QTest::newRow("two points") << "1.2.3" << 1.2 << false;
        QTest::newRow("letters") << "abc" << 0.0 << false;
        QTest::newRow("empty") << "" << 0.0 << false;
        QTest::newRow("sign only") << "-" << 0.0 << false;
        QTest::newRow("blank inside") << "3 65" << 3.0 << false;
        QTest::newRow("full-width digits") << "３６５" << 0.0 << false;
        QTest::newRow("comma decimal") << "12,5" << 12.0 << false;
    }
    void leadingNumberRule() {
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(bool, numeric);
        QCOMPARE(hibi::leadingNumber(text).value, value);
        QCOMPARE(hibi::isNumericText(text), numeric);
    }

    void roundsHalvesToEven() {
        QCOMPARE(hibi::roundToGoalDays(12.5), Integer::of(12));
        QCOMPARE(hibi::roundToGoalDays(13.5), Integer::of(14));
        QCOMPARE(hibi::roundToGoalDays(-2.5), Integer::of(-2));
        QCOMPARE(hibi::roundToGoalDays(0.4999), Integer::of(0));
        QCOMPARE(hibi::roundToGoalDays(32766.4), Integer::of(32766));
        QCOMPARE(hibi::roundToGoalDays(32766.5), Integer::of(32766));  // to the even neighbour
        QVERIFY(!hibi::roundToGoalDays(32766.6));
        QCOMPARE(hibi::roundToGoalDays(-32768.5), Integer::of(-32768));
        QVERIFY(!hibi::roundToGoalDays(-32768.6));
        QVERIFY(!hibi::roundToGoalDays(std::numeric_limits<double>::quiet_NaN()));
    }

    void goalAmountsOfTheWorkedValues() {
        const QList<std::pair<int, long long>> values{
            {1, 1},         {10, 55},           {30, 465}, {100, 5050}, {365, 66795},
            {1000, 500500}, {32766, 536821761}, {0, 0},    {-5, 0},     {-32768, 0}};
        for (const auto& [days, amount] : values) {
            QCOMPARE(hibi::goalAmount(Integer::of(days)), Amount::fromYen(amount));
        }
    }

    void typedGoals() {
        auto entry = hibi::goalFromTypedText(u"12.5");
        QVERIFY(entry);
        QCOMPARE(entry->days, Integer::of(12));
        QCOMPARE(hibi::goalAmount(entry->days), Amount::fromYen(78));
        QCOMPARE(hibi::goalValueText(entry->value), QStringLiteral("12.5"));
        entry = hibi::goalFromTypedText(u"13.5");
        QCOMPARE(hibi::goalAmount(entry->days), Amount::fromYen(105));
        entry = hibi::goalFromTypedText(u"1e3");
        QCOMPARE(entry->days, Integer::of(1000));
        QCOMPARE(hibi::goalValueText(entry->value), QStringLiteral("1000"));
        entry = hibi::goalFromTypedText(u" 365");
        QCOMPARE(hibi::goalValueText(entry->value), QStringLiteral("365"));
        entry = hibi::goalFromTypedText(u"-5");
        QCOMPARE(hibi::goalValueText(entry->value), QStringLiteral("-5"));
        QCOMPARE(hibi::goalAmount(entry->days), Amount());
        entry = hibi::goalFromTypedText(u"-0");
        QCOMPARE(hibi::goalValueText(entry->value), QStringLiteral("0"));
        QVERIFY(hibi::goalFromTypedText(u"32766"));
        QVERIFY(hibi::goalFromTypedText(u"-32768"));
        // Out of range, empty or not a number: ignored like a non-numeric text.
        for (const char16_t* text :
             {u"32767", u"-32769", u"1e9", u"1e400", u"", u"abc", u"1,000"}) {
            QVERIFY2(!hibi::goalFromTypedText(text), qPrintable(QString::fromUtf16(text)));
        }
        // The amount shown follows the number the box starts with.
        QCOMPARE(hibi::goalDaysFromBoxText(u"30days"), Integer::of(30));
        QCOMPARE(hibi::goalDaysFromBoxText(u"abc"), Integer::of(0));
        QVERIFY(!hibi::goalDaysFromBoxText(u"99999"));
        QCOMPARE(hibi::goalValueText(0.00001), QStringLiteral("1E-05"));
        // Whatever is saved reads back as the same goal.
        QCOMPARE(hibi::goalValueText(0.1 + 0.2), QStringLiteral("0.30000000000000004"));
        entry = hibi::goalFromTypedText(u"2.5000000000000004");
        QCOMPARE(entry->days, Integer::of(3));
        QCOMPARE(
            hibi::goalDaysFromFileContent(hibi::goalValueText(entry->value).toLatin1() + "\r\n"),
            Integer::of(3));
    }

    void goalFileContents() {
        QCOMPARE(hibi::goalDaysFromFileContent("365\r\n"), Integer::of(365));
        QCOMPARE(hibi::goalDaysFromFileContent("12.5\r\n"), Integer::of(12));
        QCOMPARE(hibi::goalDaysFromFileContent("13.5\r\n"), Integer::of(14));
        QCOMPARE(hibi::goalDaysFromFileContent("  -5\r\n"), Integer::of(-5));
        QCOMPARE(hibi::goalDaysFromFileContent("\r\n100\r\n"), Integer::of(100));
        QCOMPARE(hibi::goalDaysFromFileContent("1E-05\r\n"), Integer::of(0));
        QCOMPARE(hibi::goalDaysFromFileContent("30,40\r\n"), Integer::of(30));
        QCOMPARE(hibi::goalDaysFromFileContent(""), Integer::of(365));
        QCOMPARE(hibi::goalDaysFromFileContent("abc\r\n"), Integer::of(365));
        QCOMPARE(hibi::goalDaysFromFileContent("40000\r\n"), Integer::of(365));
        QCOMPARE(hibi::goalDaysFromFileContent("-40000\r\n"), Integer::of(365));
        QCOMPARE(hibi::goalDaysFromFileContent("1e999\r\n"), Integer::of(365));
    }

    void goalFileRoundTrip() {
        QTemporaryDir dir;
        const hibi::GoalFile goal(dir.path());
        const QString path = dir.filePath(QStringLiteral("目標ヒビノボリ.txt"));
        QCOMPARE(goal.load(), Integer::of(365));
        QVERIFY(!QFile::exists(path));  // the default is not written back
        QVERIFY(!goal.save(365));
        QCOMPARE(readBytes(path), QByteArray("365\r\n"));
        QCOMPARE(readBytes(path).toHex(' '), QByteArray("33 36 35 0d 0a"));
        QVERIFY(!goal.save(12.5));
        QCOMPARE(readBytes(path), QByteArray("12.5\r\n"));
        QCOMPARE(goal.load(), Integer::of(12));
        QVERIFY(!goal.save(13.5));
        QCOMPARE(goal.load(), Integer::of(14));
        QVERIFY(!goal.save(1e3));
        QCOMPARE(readBytes(path), QByteArray("1000\r\n"));

        // An existing file with another case of extension is used and kept.
        QVERIFY(QFile::rename(path, dir.filePath(QStringLiteral("目標ヒビノボリ.TXT"))));
        QCOMPARE(goal.load(), Integer::of(1000));
        QVERIFY(!goal.save(-5));
        QCOMPARE(readBytes(dir.filePath(QStringLiteral("目標ヒビノボリ.TXT"))),
                 QByteArray("-5\r\n"));
        QVERIFY(!QFile::exists(path));

        // Two spellings: the default goal is read, nothing is written.
        QVERIFY(writeBytes(path, "30\r\n"));
        QCOMPARE(goal.load(), Integer::of(365));
        QVERIFY(goal.save(10));
        QCOMPARE(readBytes(path), QByteArray("30\r\n"));
    }

    void aFailedGoalWriteLeavesTheOldFile() {
        QTemporaryDir dir;
        const hibi::GoalFile goal(dir.path());
        const QString path = dir.filePath(QStringLiteral("目標ヒビノボリ.txt"));
        QVERIFY(writeBytes(path, "365\r\n"));
        std::optional<QString> message;
        {
            const hibi::testing::FileSizeLimit full(3);
            message = goal.save(1000);
        }
        QVERIFY(message);
        QVERIFY(message->contains(QStringLiteral("目標ヒビノボリ.txt")));
        QCOMPARE(readBytes(path), QByteArray("365\r\n"));
    }
};

QTEST_GUILESS_MAIN(GoalTest)
#include "tst_goal.moc"
