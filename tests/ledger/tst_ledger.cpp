#include <QCryptographicHash>
#include <QLocale>
#include <QtTest>
#include <limits>

#include "ledger/code_page.h"
#include "ledger/ledger_codec.h"
#include "ledger/schedule.h"
#include "ledger/text_formats.h"
#include "test_support.h"

using hibi::Amount;
using hibi::Integer;
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

class LedgerTest : public QObject {
    Q_OBJECT
  private slots:
    void writesTheWorkedExampleByteForByte() {
        QCOMPARE(hibi::encodeRecord({QDate(2009, 4, 1), QTime(7, 30, 15), Amount::fromYen(1)})
                     .toHex(' '),
                 QByteArray("22 32 30 30 39 94 4e 30 34 8c 8e 30 31 93 fa 22 2c 22 30 37 3a 33 30 "
                            "3a 31 35 22 2c 31 0d 0a"));
        QVERIFY(
            hibi::encodeRecord({QDate(2009, 4, 5), QTime(21, 5, 33), Amount::fromUnits(-125000)})
                .endsWith(",-12.5\r\n"));
    }

    // CR LF, LF alone, no final line end, blank lines.
    void readsWhatEditorsAndOldFilesWrite() {
        QByteArray lf = kWorkedExample;
        lf.replace("\r\n", "\n");
        for (const QByteArray& bytes : {kWorkedExample, kWorkedExample.chopped(2), lf,
                                        "\r\n" + kWorkedExample + "\r\n\r\n"}) {
            const hibi::ParsedLedger parsed = parseLedger(bytes);
            QVERIFY(!parsed.error && parsed.records.size() == 3);
            QCOMPARE(parsed.records[0].dateText(), QStringLiteral("2009年04月01日"));
            QCOMPARE(parsed.records[0].timeText(), QStringLiteral("07:30:15"));
            QCOMPARE(parsed.records[2].amount, Amount::fromYen(12));
        }
    }

    void oddButReadableRecords() {
        QVERIFY(!parseLedger(QByteArray()).error);
        // Fractions read exactly; an odd date between the first and the last
        // is kept as it stands, and so is a middle text of the longest length.
        const QString longest(65535, QLatin1Char('9'));
        const hibi::ParsedLedger parsed =
            parseLedger(line(QStringLiteral("2009年04月01日"), "07:30:15", "12.5") +
                        line(QStringLiteral("2009年02月30日"), longest, "-0.0001") +
                        line(QStringLiteral("2009年04月03日"), "", "007"));
        QVERIFY(!parsed.error);
        QCOMPARE(parsed.records[0].amount, Amount::fromUnits(125000));
        QCOMPARE(parsed.records[1].dateText(), QStringLiteral("2009年02月30日"));
        QCOMPARE(parsed.records[1].amount, Amount::fromUnits(-1));
        QCOMPARE(parsed.records[2].amount, Amount::fromYen(7));
        QCOMPARE(hibi::encodeRecord(parsed.records[1]),
                 line(QStringLiteral("2009年02月30日"), longest, "-0.0001"));
    }

    void stopsAtTheFirstBadLine_data() {
        using K = LedgerErrorKind;
        QTest::addColumn<QByteArray>("bad");
        QTest::addColumn<LedgerErrorKind>("kind");
        const QString d = QStringLiteral("2009年04月03日");
        const auto amount = [&](const QByteArray& text) { return line(d, "07:00:00", text); };
        QTest::newRow("unquoted date") << sjis(d + ",\"07:00:00\",3\r\n") << K::Malformed;
        QTest::newRow("two fields") << amount("").chopped(3) + "\r\n" << K::Malformed;
        QTest::newRow("no amount") << amount("") << K::Malformed;
        QTest::newRow("text amount") << amount("abc") << K::Malformed;
        QTest::newRow("blank before amount") << amount(" 3") << K::Malformed;
        QTest::newRow("grouped amount") << amount("1,000") << K::Malformed;
        QTest::newRow("fourth field") << amount("3,4") << K::Malformed;
        QTest::newRow("unclosed quote") << sjis("\"" + d + ",07:00:00,3\r\n") << K::Malformed;
        QTest::newRow("lone CR inside") << amount("3\r4") << K::Malformed;
        QTest::newRow("cut mid-record") << sjis("\"" + d + "\",\"07:0") << K::Malformed;
        QTest::newRow("time too long") << line(d, QString(65536, u'0'), "3") << K::Malformed;
        QTest::newRow("five decimals") << amount("1.00001") << K::TooManyDecimals;
        QTest::newRow("huge amount") << amount("99999999999999999999") << K::AmountOutOfRange;
        QTest::newRow("not Shift-JIS")
            << QByteArray("\"2009\xa0\",\"0\",3\r\n") << K::InvalidEncoding;
        // After a long ASCII run, so that the quick check must stop on it.
        QTest::newRow("not Shift-JIS at the end")
            << amount("3").chopped(2) + "\xa0\r\n" << K::InvalidEncoding;
        QTest::newRow("cut Shift-JIS pair")
            << QByteArray("\"2009\x94\",\"0\",3\r\n") << K::InvalidEncoding;
        QTest::newRow("last date not a day")
            << line(u"2009年02月29日"_qs, "0", "3") << K::InvalidDate;
        QTest::newRow("last date garbage") << line(u"昨日"_qs, "0", "3") << K::InvalidDate;
    }
    void stopsAtTheFirstBadLine() {
        QFETCH(QByteArray, bad);
        QFETCH(LedgerErrorKind, kind);
        const QByteArray good = kWorkedExample.left(62);  // the first two records
        const hibi::ParsedLedger parsed = parseLedger(good + bad);
        QCOMPARE(parsed.error, (hibi::LedgerError{3, kind}));
        QCOMPARE(parsed.records.size(), 2);  // what came before stays readable
        QCOMPARE(parsed.records[1].amount, Amount::fromYen(2));

        // A bad line in the middle stops reading there, too.
        if (kind != LedgerErrorKind::InvalidDate) {
            const hibi::ParsedLedger middle = parseLedger(good + bad + kWorkedExample.mid(62));
            QVERIFY(middle.error == parsed.error && middle.records.size() == 2);
        }
    }

    void firstDateMustNameADay() {
        const hibi::ParsedLedger parsed =
            parseLedger("\r\n" + line(QStringLiteral("2009年13月01日"), "07:30:15", "1") +
                        line(QStringLiteral("2009年04月02日"), "07:28:40", "2"));
        QCOMPARE(parsed.error, (hibi::LedgerError{2, LedgerErrorKind::InvalidDate}));
        QVERIFY(parsed.records.isEmpty());
    }

    void countsRecordsUpToTheLimit() {
        const QByteArray full = kWorkedExample.left(31).repeated(hibi::kMaxLedgerRecords);
        QVERIFY(!parseLedger(full).error);
        const hibi::ParsedLedger parsed = parseLedger(full + kWorkedExample.left(31));
        QCOMPARE(parsed.error,
                 (hibi::LedgerError{hibi::kMaxLedgerRecords + 1, LedgerErrorKind::TooManyRecords}));
        QCOMPARE(parsed.records.size(), hibi::kMaxLedgerRecords);
    }

    void datesFromText() {
        QCOMPARE(hibi::dateFromText(u"2009年4月1日"), QDate(2009, 4, 1));
        QCOMPARE(hibi::dateFromText(u"2024年02月29日"), QDate(2024, 2, 29));
        for (const char16_t* text : {u"2023年02月29日", u"2009年04月01日 ", u"09年04月01日",
                                     u"0000年01月01日", u"2009/04/01", u""}) {
            QVERIFY2(!hibi::dateFromText(text), qPrintable(QString::fromUtf16(text)));
        }
    }

    void checkedValuesGiveNothingOnOverflow() {
        constexpr Integer kOne = Integer::constant(1);
        QCOMPARE(Integer::constant(-32767).minus(kOne), Integer::of(-32768));
        QVERIFY(!Integer::constant(-32768).minus(kOne));
        QVERIFY(!Integer::constant(32767).plus(kOne));
        QVERIFY(!Integer::of(32768) && !Integer::of(-32769));

        constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
        QVERIFY(!Amount::fromUnits(kMax).plus(Amount::fromUnits(1)));
        QVERIFY(!Amount::fromUnits(-kMax - 1).minus(Amount::fromUnits(1)));
        QCOMPARE(Amount::fromUnits(kMax - 1).plus(Amount::fromUnits(1)), Amount::fromUnits(kMax));
        QVERIFY(!Amount::fromWideYen(922337203685478LL));
        QCOMPARE(Amount::fromWideYen(922337203685477LL)->units(), 9223372036854770000LL);
    }

    // 1 + 2 + ... + n, exact up to the last sum that fits 64 bits.
    void planTotals() {
        const QList<std::pair<qint64, qint64>> totals{{-5, 0},
                                                      {0, 0},
                                                      {1, 1},
                                                      {365, 66795},
                                                      {32766, 536821761},
                                                      {4294967295, 9223372034707292160}};
        for (const auto& [days, yen] : totals) {
            QCOMPARE(hibi::planTotalYen(days), yen);
        }
        QVERIFY(!hibi::planTotalYen(4294967296));
        QVERIFY(!hibi::planTotalYen(std::numeric_limits<qint64>::max()));

        // Arrears over dates that run backwards (11 April, then 1 April; today
        // the 13th): the missed days' numbers run from -8 to 2.
        const QDate april1(2009, 4, 1);
        using hibi::testing::ledgerLine;
        const auto records = hibi::parseLedger(ledgerLine(april1.addDays(10), "07:00:00", "1") +
                                               ledgerLine(april1, "07:00:00", "1"))
                                 .records;
        const auto computed =
            hibi::computeSchedule(records, hibi::runningTotals(records), april1.addDays(12));
        QCOMPARE(computed.schedule.curTainou, hibi::Amount::fromYen(-33));
    }

    // Windows converts with its own code page 932, Linux with ICU: both must
    // take and refuse the same bytes and characters.
    void codePage932_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");  // null: refused
        QTest::newRow("年") << QByteArray("\x94\x4e") << QStringLiteral("年");
        QTest::newRow("NEC ①") << QByteArray("\x87\x40") << QStringLiteral("①");
        QTest::newRow("IBM ⅰ") << QByteArray("\xfa\x40") << QStringLiteral("ⅰ");
        QTest::newRow("NEC-chosen IBM") << QByteArray("\xed\x40") << QStringLiteral("纊");
        QTest::newRow("user-defined") << QByteArray("\xf0\x40") << QString(QChar(0xE000));
        QTest::newRow("half-width kana") << QByteArray("\xa1") << QStringLiteral("｡");
        QTest::newRow("yen sign and tilde are ASCII") << QByteArray("\\~") << QStringLiteral("\\~");
        QTest::newRow("～ not 〜") << QByteArray("\x81\x60") << QStringLiteral("～");
        for (const char* undefined : {"\x80", "\xa0", "\xfd", "\xfe", "\xff"}) {
            QTest::newRow("undefined single byte") << QByteArray(undefined) << QString();
        }
        QTest::newRow("undefined pair") << QByteArray("\x85\x40") << QString();
        QTest::newRow("bad trail byte") << QByteArray("\x81\x20") << QString();
        QTest::newRow("cut pair") << QByteArray("\x81") << QString();
    }
    void codePage932() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        hibi::CodePageText codePage;
        QVERIFY(codePage.isValid());
        QCOMPARE(codePage.decode(bytes), text.isNull() ? std::nullopt : std::optional(text));
        // The NEC-chosen IBM characters are written as the IBM ones.
        const QByteArray written = bytes == "\xed\x40" ? QByteArray("\xfa\x5c") : bytes;
        if (!text.isNull()) {
            QCOMPARE(codePage.encode(text), std::optional(written));
        }
    }
    void codePage932RefusesWhatItCannotHold() {
        hibi::CodePageText codePage;
        for (const char16_t c : {u'\u00A5', u'\u203E', u'\u301C', u'\u2016', u'\u00E9', u'\u0080',
                                 u'\uF8F0', char16_t(0xD800)}) {
            QVERIFY2(!codePage.encode(QString(QChar(c))), qPrintable(QString::number(c, 16)));
        }
        QVERIFY(!hibi::CodePageText("no-such-encoding").isValid());
    }

    // What the reader makes of every input in the fuzz corpus, the same on
    // every system: records, first error and the hash of the texts it read.
    void theCorpusReadsAlike() {
        const QDir corpus(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../fuzz/corpus/ledger"));
        QStringList results;
        for (const QString& name : corpus.entryList(QDir::Files, QDir::Name)) {
            QFile file(corpus.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const hibi::ParsedLedger parsed = parseLedger(file.readAll());
            QCryptographicHash texts(QCryptographicHash::Sha1);
            for (const LedgerRecord& record : parsed.records) {
                texts.addData((record.dateText() + u'|' + record.timeText() + u'\n').toUtf8());
            }
            results += QStringLiteral("%1 %2 %3 %4 %5")
                           .arg(name.left(12))
                           .arg(parsed.records.size())
                           .arg(parsed.error ? parsed.error->line : 0)
                           .arg(parsed.error ? int(parsed.error->kind) : -1)
                           .arg(QString::fromLatin1(texts.result().toHex().left(12)));
        }
        QFile expected(QStringLiteral(QT_TESTCASE_SOURCEDIR "/ledger/corpus_results.txt"));
        if (qEnvironmentVariableIsSet("HIBI_WRITE_CORPUS_RESULTS")) {
            QVERIFY(expected.open(QIODevice::WriteOnly));
            expected.write(results.join(u'\n').toUtf8() + '\n');
            return;
        }
        QVERIFY(expected.open(QIODevice::ReadOnly));
        QCOMPARE(results, QString::fromUtf8(expected.readAll()).split(u'\n', Qt::SkipEmptyParts));
    }

    void moneyTextIsJapaneseWhateverTheLocale_data() {
        QTest::addColumn<QString>("locale");
        for (const char* name : {"C", "de_DE", "en_US", "ja_JP"}) {
            QTest::newRow(name) << QString::fromLatin1(name);
        }
    }
    void moneyTextIsJapaneseWhateverTheLocale() {
        QFETCH(QString, locale);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(hibi::moneyText(Amount::fromYen(-5)), QStringLiteral("-¥5"));
        QCOMPARE(hibi::moneyText(Amount::fromYen(536821761)), QStringLiteral("¥536,821,761"));
        QCOMPARE(hibi::moneyText(Amount::fromUnits(125000)), QStringLiteral("¥13"));
        QCOMPARE(hibi::moneyText(Amount::fromUnits(-4000)), QStringLiteral("¥0"));
        QCOMPARE(hibi::moneyText(Amount::fromUnits(std::numeric_limits<std::int64_t>::min())),
                 QStringLiteral("-¥922,337,203,685,478"));
        QCOMPARE(hibi::moneyText(Amount::fromYen(1)).at(0).unicode(), char16_t(0x00A5));
        // Whole yen beyond what an amount holds, as a chart's axis may reach.
        QCOMPARE(hibi::moneyTextOfYen(std::numeric_limits<std::int64_t>::min()),
                 QStringLiteral("-¥9,223,372,036,854,775,808"));
        QCOMPARE(hibi::moneyTextOfYen(1000000000000000LL),
                 QStringLiteral("¥1,000,000,000,000,000"));
        QLocale::setDefault(QLocale::c());
    }
};

QTEST_GUILESS_MAIN(LedgerTest)
#include "tst_ledger.moc"
