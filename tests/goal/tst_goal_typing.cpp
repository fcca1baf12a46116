// Goals as people type them: with an input method in full-width mode, and
// under a locale that writes the decimal point as a comma.

#include <clocale>
#include <cstdlib>

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "goal/goal_rules.h"
#include "test_support.h"

using hibi::Integer;

class GoalTyping : public QObject {
    Q_OBJECT
  private slots:
    void fullWidthInput() {
        const auto days = [](const QString& typed) {
            const auto entry = hibi::goalFromTypedText(typed);
            return entry ? entry->days.value() : -1;
        };
        QCOMPARE(days(QStringLiteral("３６５")), 365);
        QCOMPARE(days(QStringLiteral("　１２．５　")), 12);
        QCOMPARE(days(QStringLiteral("－５")), -5);
        QCOMPARE(days(QStringLiteral("１ｅ３")), 1000);
        QCOMPARE(days(QStringLiteral("３６５日")), -1);  // still not a number
        QCOMPARE(hibi::goalDaysFromBoxText(QStringLiteral("４０")), Integer::of(40));
        // What is saved stays ASCII.
        QCOMPARE(hibi::goalValueText(hibi::goalFromTypedText(QStringLiteral("１３．５"))->value),
                 QStringLiteral("13.5"));
    }

    // The C library's own locale set to one with a decimal comma, as Qt
    // sets it from the environment.
    void theDecimalPointIsAPeriodInEveryLocale() {
        HIBI_POSIX_ONLY("a C library locale made with localedef");
        QTemporaryDir locales;
        const QString name = QStringLiteral("de_DE.UTF-8");
        QCOMPARE(
            QProcess::execute(QStringLiteral("localedef"),
                              {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"),
                               QStringLiteral("UTF-8"), locales.filePath(name)}),
            0);
        qputenv("LOCPATH", QFile::encodeName(locales.path()));
        QVERIFY(std::setlocale(LC_ALL, "de_DE.UTF-8"));
        QCOMPARE(std::strtod("13.5", nullptr), 13.0);  // the locale is in force

        QCOMPARE(hibi::goalFromTypedText(QStringLiteral("13.5"))->days, Integer::of(14));
        QCOMPARE(hibi::goalValueText(13.5), QStringLiteral("13.5"));
        QCOMPARE(hibi::goalDaysFromFileContent("12.5\r\n"), Integer::of(12));
        std::setlocale(LC_ALL, "C");
    }
};

QTEST_GUILESS_MAIN(GoalTyping)
#include "tst_goal_typing.moc"
