#include <QTemporaryDir>
#include <QtTest>

#include "goal/goal_file.h"
#include "goal/goal_rules.h"

using hibi::Amount;
using hibi::Integer;

class GoalTest : public QObject {
    Q_OBJECT
  private slots:
    void roundsHalvesToEvenWithinRange() {
        const QList<std::pair<double, int>> rounded{
            {12.5, 12}, {13.5, 14}, {-2.5, -2}, {0.4999, 0}, {32766.5, 32766}, {-32768.5, -32768}};
        for (const auto& [value, days] : rounded) {
            QCOMPARE(hibi::roundToGoalDays(value), Integer::of(days));
        }
        for (double value : {32766.6, -32768.6, std::numeric_limits<double>::quiet_NaN()}) {
            QVERIFY(!hibi::roundToGoalDays(value));
        }
        const QList<std::pair<int, int>> amounts{
            {10, 55}, {365, 66795}, {32766, 536821761}, {0, 0}, {-32768, 0}};
        for (const auto& [days, amount] : amounts) {
            QCOMPARE(hibi::goalAmount(*Integer::of(days)), Amount::fromYen(amount));
        }
    }

    // What is typed is saved as the number it reads as; out of range, empty
    // or not a number is ignored.
    void typedGoals_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("days");  // -1: ignored
        QTest::addColumn<QString>("saved");
        QTest::newRow("half") << "12.5" << 12 << "12.5";
        QTest::newRow("exponent") << "1e3" << 1000 << "1000";
        QTest::newRow("exponent signed") << "25E-1" << 2 << "2.5";
        QTest::newRow("leading point") << ".5" << 0 << "0.5";
        QTest::newRow("blanks around") << " \t365 " << 365 << "365";
        QTest::newRow("negative") << "-5" << -5 << "-5";
        QTest::newRow("negative zero") << "-0" << 0 << "0";
        QTest::newRow("tiny") << "0.00001" << 0 << "1E-05";
        QTest::newRow("not short") << "2.5000000000000004" << 3 << "2.5000000000000004";
        QTest::newRow("lowest") << "-32768" << -32768 << "-32768";
        for (const char* ignored : {"32767", "-32769", "1e9", "1e400", "", "abc", "1,000", "30days",
                                    "4e", "-", "3 65", "３６５日"}) {
            QTest::newRow(ignored) << QString::fromUtf8(ignored) << -1 << QString();
        }
    }
    void typedGoals() {
        QFETCH(QString, typed);
        QFETCH(int, days);
        QFETCH(QString, saved);
        const auto entry = hibi::goalFromTypedText(typed);
        QCOMPARE(bool(entry), days != -1);
        if (entry) {
            QCOMPARE(entry->days, Integer::of(days));
            QCOMPARE(hibi::goalValueText(entry->value), saved);
            // Whatever is saved reads back as the same goal.
            QCOMPARE(hibi::goalDaysFromFileContent(saved.toLatin1() + "\r\n"), entry->days);
        }
    }

    void boxAndFileTexts() {
        // The amount shown follows the number the box starts with.
        const QList<std::pair<const char16_t*, int>> boxes{{u"30days", 30}, {u"abc", 0},
                                                           {u"4e", 4},      {u"3 65", 3},
                                                           {u"1,000", 1},   {u"３６５", 365}};
        for (const auto& [text, days] : boxes) {
            QCOMPARE(hibi::goalDaysFromBoxText(text), Integer::of(days));
        }
        QVERIFY(!hibi::goalDaysFromBoxText(u"99999"));
        const QList<std::pair<QByteArray, int>> files{
            {"13.5\r\n", 14}, {"\r\n100\r\n", 100}, {"30,40\r\n", 30}, {"", 365},
            {"abc\r\n", 365}, {"40000\r\n", 365},   {"1e999\r\n", 365}};
        for (const auto& [content, days] : files) {
            QCOMPARE(hibi::goalDaysFromFileContent(content), Integer::of(days));
        }
    }

    // The goal file goes by the spelling it exists under, as the About box
    // names it.
    void goalFileName() {
        QTemporaryDir dir;
        const hibi::GoalFile goal(dir.path());
        QCOMPARE(goal.fileName(), QStringLiteral("目標ヒビノボリ.txt"));
        QFile upper(dir.filePath(QStringLiteral("目標ヒビノボリ.TXT")));
        QVERIFY(upper.open(QIODevice::WriteOnly));
        upper.close();
        QCOMPARE(goal.fileName(), QStringLiteral("目標ヒビノボリ.TXT"));
        QCOMPARE(goal.load(), Integer::of(365));
    }
};

QTEST_GUILESS_MAIN(GoalTest)
#include "tst_goal.moc"
