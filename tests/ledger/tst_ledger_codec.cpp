#include <QtTest>

#include "ledger/ledger_codec.h"
#include "test_support.h"

using hibi::Amount;
using hibi::LedgerErrorKind;
using hibi::LedgerRecord;
using hibi::parseLedger;
using hibi::testing::sjis;

namespace {

QByteArray line(const QString& date, const QString& time, const QByteArray& amount) {
    return sjis(QStringLiteral("\"%1\",\"%2\",").arg(date, time)) + amount + "\r\n";
}

const QByteArray kWorkedExample = line(QStringLiteral("2009年04月01日"), "07:30:15", "1") +
                                  line(QStringLiteral("2009年04月02日"), "07:28:40", "2") +
                                  line(QStringLiteral("2009年04月05日"), "21:05:33", "12");

}  // namespace

Q_DECLARE_METATYPE(LedgerErrorKind)

class LedgerCodec : public QObject {
    Q_OBJECT
  private slots:
    void writesTheWorkedExampleByteForByte() {
        const QByteArray first = hibi::encodeRecord(
            {QStringLiteral("2009年04月01日"), QStringLiteral("07:30:15"), Amount::fromYen(1)});
        QCOMPARE(first.toHex(' '),
                 QByteArray("22 32 30 30 39 94 4e 30 34 8c 8e 30 31 93 fa 22 2c 22 30 37 3a 33 30 "
                            "3a 31 35 22 2c 31 0d 0a"));
        QCOMPARE(first.size(), 31);
        QCOMPARE(hibi::encodeRecord({QStringLiteral("2009年04月05日"), QStringLiteral("21:05:33"),
                                     Amount::fromYen(12)}),
                 line(QStringLiteral("2009年04月05日"), "21:05:33", "12"));
        QCOMPARE(hibi::encodeRecord({QStringLiteral("2009年04月05日"), QStringLiteral("21:05:33"),
                                     Amount::fromUnits(-125000)})
                     .right(7),
                 QByteArray(",-12.5\r\n").right(7));
    }

    void readsTheWorkedExample() {
        const hibi::ParsedLedger parsed = parseLedger(kWorkedExample);
        QVERIFY(!parsed.error);
        QCOMPARE(parsed.records.size(), 3);
        QCOMPARE(parsed.records[0].dateText(), QStringLiteral("2009年04月01日"));
        QCOMPARE(parsed.records[0].timeText(), QStringLiteral("07:30:15"));
        QCOMPARE(parsed.records[2].dateText(), QStringLiteral("2009年04月05日"));
        QCOMPARE(parsed.records[0].amount, Amount::fromYen(1));
        QCOMPARE(parsed.records[1].amount, Amount::fromYen(2));
        QCOMPARE(parsed.records[2].amount, Amount::fromYen(12));
    }

    void toleratesWhatEditorsAndOldFilesDo() {
        QByteArray noFinalLineEnd = kWorkedExample;
        noFinalLineEnd.chop(2);
        QCOMPARE(parseLedger(noFinalLineEnd).records.size(), 3);
        QVERIFY(!parseLedger(noFinalLineEnd).error);

        QByteArray lfOnly = kWorkedExample;
        lfOnly.replace("\r\n", "\n");
        QCOMPARE(parseLedger(lfOnly).records.size(), 3);
        QVERIFY(!parseLedger(lfOnly).error);

        const QByteArray blanks = "\r\n" + kWorkedExample + "\r\n\r\n";
        QCOMPARE(parseLedger(blanks).records.size(), 3);
        QVERIFY(!parseLedger(blanks).error);

        QVERIFY(parseLedger(QByteArray()).records.isEmpty());
        QVERIFY(!parseLedger(QByteArray()).error);

        // Amounts with a fraction read exactly; an odd date between the first
        // and the last is kept as it stands.
        const QByteArray odd = line(QStringLiteral("2009年04月01日"), "07:30:15", "12.5") +
                               line(QStringLiteral("2009年02月30日"), "x", "-0.0001") +
                               line(QStringLiteral("2009年04月03日"), "", "007");
        const hibi::ParsedLedger parsed = parseLedger(odd);
        QVERIFY(!parsed.error);
        QCOMPARE(parsed.records[0].amount, Amount::fromUnits(125000));
        QCOMPARE(parsed.records[1].dateText(), QStringLiteral("2009年02月30日"));
        QCOMPARE(parsed.records[1].amount, Amount::fromUnits(-1));
        QCOMPARE(parsed.records[2].amount, Amount::fromYen(7));

        // A middle text of the longest length a record keeps reads and is
        // written back as it stood.
        const QString longest(65535, QLatin1Char('9'));
        const QByteArray withLongest = line(QStringLiteral("2009年04月01日"), "1", "1") +
                                       line(QStringLiteral("x"), longest, "2") +
                                       line(QStringLiteral("2009年04月03日"), "3", "3");
        const hibi::ParsedLedger longParsed = parseLedger(withLongest);
        QVERIFY(!longParsed.error);
        QCOMPARE(longParsed.records[1].timeText(), longest);
        QCOMPARE(longParsed.records[2].timeText(), QStringLiteral("3"));
        QCOMPARE(hibi::encodeRecord(longParsed.records[1]),
                 line(QStringLiteral("x"), longest, "2"));
    }

    void stopsAtTheFirstBadLine_data() {
        QTest::addColumn<QByteArray>("bad");
        QTest::addColumn<LedgerErrorKind>("kind");
        const QString d = QStringLiteral("2009年04月03日");
        QTest::newRow("unquoted date")
            << sjis(d + ",\"07:00:00\",3\r\n") << LedgerErrorKind::Malformed;
        QTest::newRow("two fields") << line(d, "07:00:00", "").chopped(3) + "\r\n"
                                    << LedgerErrorKind::Malformed;
        QTest::newRow("no amount") << line(d, "07:00:00", "") << LedgerErrorKind::Malformed;
        QTest::newRow("text amount") << line(d, "07:00:00", "abc") << LedgerErrorKind::Malformed;
        QTest::newRow("blank before amount")
            << line(d, "07:00:00", " 3") << LedgerErrorKind::Malformed;
        QTest::newRow("grouped amount")
            << line(d, "07:00:00", "1,000") << LedgerErrorKind::Malformed;
        QTest::newRow("fourth field") << line(d, "07:00:00", "3,4") << LedgerErrorKind::Malformed;
        QTest::newRow("unclosed quote")
            << sjis("\"" + d + ",07:00:00,3\r\n") << LedgerErrorKind::Malformed;
        QTest::newRow("lone CR inside")
            << line(d, "07:00:00", "3\r4") << LedgerErrorKind::Malformed;
        QTest::newRow("cut mid-record")
            << sjis("\"" + d + "\",\"07:0") << LedgerErrorKind::Malformed;
        QTest::newRow("time text too long")
            << line(d, QString(65536, QLatin1Char('0')), "3") << LedgerErrorKind::Malformed;
        QTest::newRow("five decimals")
            << line(d, "07:00:00", "1.00001") << LedgerErrorKind::TooManyDecimals;
        QTest::newRow("huge amount")
            << line(d, "07:00:00", "99999999999999999999") << LedgerErrorKind::AmountOutOfRange;
        QTest::newRow("not Shift-JIS")
            << QByteArray("\"2009\xa0\",\"07:00:00\",3\r\n") << LedgerErrorKind::InvalidEncoding;
        QTest::newRow("cut Shift-JIS pair")
            << QByteArray("\"2009\x94\",\"07:00:00\",3\r\n") << LedgerErrorKind::InvalidEncoding;
        QTest::newRow("last date not a date")
            << line(QStringLiteral("2009年02月29日"), "07:00:00", "3")
            << LedgerErrorKind::InvalidDate;
        QTest::newRow("last date garbage")
            << line(QStringLiteral("昨日"), "07:00:00", "3") << LedgerErrorKind::InvalidDate;
    }
    void stopsAtTheFirstBadLine() {
        QFETCH(QByteArray, bad);
        QFETCH(LedgerErrorKind, kind);
        const QByteArray good = line(QStringLiteral("2009年04月01日"), "07:30:15", "1") +
                                line(QStringLiteral("2009年04月02日"), "07:28:40", "2");
        const hibi::ParsedLedger parsed = parseLedger(good + bad);
        QVERIFY(parsed.error);
        QCOMPARE(parsed.error->line, 3);
        QCOMPARE(parsed.error->kind, kind);
        QVERIFY(!parsed.error->reason().isEmpty());
        QCOMPARE(parsed.records.size(), 2);  // what came before stays readable
        QCOMPARE(parsed.records[1].amount, Amount::fromYen(2));
        // The check that keeps no records finds the same.
        const hibi::LedgerCheck check = hibi::checkLedger(good + bad);
        QCOMPARE(check.recordCount, 2);
        QCOMPARE(check.error, parsed.error);

        // A bad line in the middle stops reading there, too.
        if (kind != LedgerErrorKind::InvalidDate) {
            const hibi::ParsedLedger middle =
                parseLedger(good + bad + line(QStringLiteral("2009年04月05日"), "21:05:33", "12"));
            QVERIFY(middle.error);
            QCOMPARE(middle.error->line, 3);
            QCOMPARE(middle.records.size(), 2);
        }
    }

    void firstDateMustNameADay() {
        const hibi::ParsedLedger parsed =
            parseLedger("\r\n" + line(QStringLiteral("2009年13月01日"), "07:30:15", "1") +
                        line(QStringLiteral("2009年04月02日"), "07:28:40", "2"));
        QVERIFY(parsed.error);
        QCOMPARE(parsed.error->line, 2);
        QCOMPARE(parsed.error->kind, LedgerErrorKind::InvalidDate);
        QVERIFY(parsed.records.isEmpty());
    }

    void countsRecordsUpToTheLimit() {
        const QByteArray one = line(QStringLiteral("2009年04月01日"), "07:30:15", "1");
        QByteArray full = one.repeated(hibi::kMaxLedgerRecords);
        hibi::ParsedLedger parsed = parseLedger(full);
        QVERIFY(!parsed.error);
        QCOMPARE(parsed.records.size(), hibi::kMaxLedgerRecords);
        parsed = parseLedger(full + one);
        QVERIFY(parsed.error);
        QCOMPARE(parsed.error->kind, LedgerErrorKind::TooManyRecords);
        QCOMPARE(parsed.error->line, hibi::kMaxLedgerRecords + 1);
        QCOMPARE(parsed.records.size(), hibi::kMaxLedgerRecords);
    }

    void datesFromText() {
        QCOMPARE(hibi::dateFromText(u"2009年04月01日"), QDate(2009, 4, 1));
        QCOMPARE(hibi::dateFromText(u"2009年4月1日"), QDate(2009, 4, 1));
        QCOMPARE(hibi::dateFromText(u"2024年02月29日"), QDate(2024, 2, 29));
        QVERIFY(!hibi::dateFromText(u"2023年02月29日"));
        QVERIFY(!hibi::dateFromText(u"2009年04月01日 "));
        QVERIFY(!hibi::dateFromText(u"09年04月01日"));
        QVERIFY(!hibi::dateFromText(u"0000年01月01日"));
        QVERIFY(!hibi::dateFromText(u"2009/04/01"));
        QVERIFY(!hibi::dateFromText(u""));
    }
};

QTEST_GUILESS_MAIN(LedgerCodec)
#include "tst_ledger_codec.moc"
