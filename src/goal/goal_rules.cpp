#include "goal/goal_rules.h"

#include <QByteArray>
#include <QLocale>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ledger/schedule.h"

namespace hibi {

namespace {

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}
bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Scans a number starting at pos (no leading blanks); returns the end of what
// fits and the ASCII text of it.
struct Scan {
    qsizetype end = 0;
    bool hasDigits = false;
    std::string ascii;
};

Scan scanNumber(QStringView text, qsizetype pos) {
    Scan scan;
    auto take = [&](qsizetype i) { scan.ascii.push_back(static_cast<char>(text[i].unicode())); };
    if (pos < text.size() && (text[pos] == QLatin1Char('+') || text[pos] == QLatin1Char('-'))) {
        take(pos++);
    }
    while (pos < text.size() && isDigit(text[pos])) {
        take(pos++);
        scan.hasDigits = true;
    }
    if (pos < text.size() && text[pos] == QLatin1Char('.')) {
        take(pos++);
        while (pos < text.size() && isDigit(text[pos])) {
            take(pos++);
            scan.hasDigits = true;
        }
    }
    if (scan.hasDigits && pos < text.size() &&
        (text[pos] == QLatin1Char('E') || text[pos] == QLatin1Char('e'))) {
        qsizetype p = pos + 1;
        if (p < text.size() && (text[p] == QLatin1Char('+') || text[p] == QLatin1Char('-'))) {
            ++p;
        }
        if (p < text.size() && isDigit(text[p])) {
            while (pos < p) {
                take(pos++);
            }
            while (pos < text.size() && isDigit(text[pos])) {
                take(pos++);
            }
        }
    }
    scan.end = pos;
    return scan;
}

double valueOf(const Scan& scan) {
    if (!scan.hasDigits) {
        return 0.0;
    }
    // from_chars reads the period as the decimal point whatever the C
    // library's locale (Qt sets LC_NUMERIC from the environment).
    std::string_view ascii = scan.ascii;
    if (!ascii.empty() && ascii.front() == '+') {
        ascii.remove_prefix(1);
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Too large a magnitude is infinite, too small a one zero.
        const auto e = ascii.find('E');
        const bool tiny =
            e != std::string_view::npos && e + 1 < ascii.size() && ascii[e + 1] == '-';
        const bool negative = !ascii.empty() && ascii.front() == '-';
        value = tiny ? 0.0 : HUGE_VAL;
        value = negative ? -value : value;
    }
    return value;
}

qsizetype skipBlanks(QStringView text, qsizetype pos) {
    while (pos < text.size() && isBlank(text[pos])) {
        ++pos;
    }
    return pos;
}

}  // namespace

LeadingNumber leadingNumber(QStringView text) {
    const Scan scan = scanNumber(text, skipBlanks(text, 0));
    return {valueOf(scan), scan.hasDigits};
}

bool isNumericText(QStringView text) {
    const Scan scan = scanNumber(text, skipBlanks(text, 0));
    return scan.hasDigits && skipBlanks(text, scan.end) == text.size();
}

std::optional<Integer> roundToGoalDays(double value) {
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    const double rounded = std::nearbyint(value);  // default rounding: halves to even
    if (rounded < Integer::kMin || rounded > kMaxGoalDays) {
        return std::nullopt;
    }
    return Integer::of(static_cast<long long>(rounded));
}

Amount goalAmount(Integer days) {
    // Goal days are 16-bit: the sum always fits.
    return Amount::fromWideYen(planTotalYen(days.value()).value_or(0)).value_or(Amount());
}

QString goalValueText(double value) {
    if (value == 0.0) {
        return QStringLiteral("0");  // never "-0"
    }
    // The shortest text that reads back as the same number, so that a saved
    // goal rounds the same way after a restart.
    QString text = QString::number(value, 'g', QLocale::FloatingPointShortest);
    text.replace(QLatin1Char('e'), QLatin1Char('E'));
    return text;
}

QString asciiGoalText(QStringView text) {
    QString ascii;
    ascii.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= u'０' && u <= u'９') {
            ascii.append(QChar(u - u'０' + u'0'));
        } else if (u == u'．') {
            ascii.append(QLatin1Char('.'));
        } else if (u == u'－' || u == u'−' || u == u'ー') {
            ascii.append(QLatin1Char('-'));
        } else if (u == u'＋') {
            ascii.append(QLatin1Char('+'));
        } else if (u == u'　') {
            ascii.append(QLatin1Char(' '));
        } else if (u == u'ｅ' || u == u'Ｅ') {
            ascii.append(QLatin1Char(u == u'ｅ' ? 'e' : 'E'));
        } else {
            ascii.append(c);
        }
    }
    return ascii;
}

std::optional<GoalEntry> goalFromTypedText(QStringView typed) {
    const QString text = asciiGoalText(typed);
    if (text.isEmpty() || !isNumericText(text)) {
        return std::nullopt;
    }
    const double value = leadingNumber(text).value;
    const auto days = roundToGoalDays(value);
    if (!days) {
        return std::nullopt;
    }
    return GoalEntry{*days, value};
}

std::optional<Integer> goalDaysFromBoxText(QStringView text) {
    return roundToGoalDays(leadingNumber(asciiGoalText(text)).value);
}

Integer goalDaysFromFileContent(const QByteArray& content) {
    // Like a read of one number: blanks and line ends before it are skipped.
    const QString text = QString::fromLatin1(content.trimmed());
    const LeadingNumber number = leadingNumber(text);
    if (!number.hasDigits) {
        return Integer::constant(kDefaultGoalDays);
    }
    return roundToGoalDays(number.value).value_or(Integer::constant(kDefaultGoalDays));
}

}  // namespace hibi
