#include <QLocale>
#include <QtTest>

#include "ledger/checked.h"
#include "ledger/text_formats.h"

using hibi::Amount;
using hibi::Integer;
using hibi::OverflowError;

class ValuesAndFormats : public QObject {
    Q_OBJECT
  private slots:
    void checkedValuesRaiseOnOverflow() {
        QCOMPARE((Integer::of(-32767) - Integer::of(1)).value(), -32768);
        QVERIFY_THROWS_EXCEPTION(OverflowError, -Integer::of(-32768));
        Integer counter = Integer::of(32767);
        QVERIFY_THROWS_EXCEPTION(OverflowError, counter += Integer::of(1));
        QCOMPARE(counter.value(), 32767);  // a failed step leaves the value alone

        constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
        QVERIFY_THROWS_EXCEPTION(OverflowError, Amount::fromUnits(kMax) + Amount::fromUnits(1));
        QVERIFY_THROWS_EXCEPTION(OverflowError,
                                 Amount::fromUnits(-kMax - 1) - Amount::fromUnits(1));
        QVERIFY_THROWS_EXCEPTION(OverflowError, Amount::fromYen(922337203685478LL));
        QCOMPARE(Amount::fromYen(922337203685477LL).units(), 9223372036854770000LL);
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
        QLocale::setDefault(QLocale::c());
    }
};

QTEST_GUILESS_MAIN(ValuesAndFormats)
#include "tst_values_and_formats.moc"
