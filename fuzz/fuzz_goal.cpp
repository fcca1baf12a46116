// Feeds arbitrary text to the goal rules, checking what they promise.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QByteArray>
#include <QString>

#include "goal/goal_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString text = QString::fromUtf8(bytes);
    (void)hibi::leadingNumber(text);
    (void)hibi::goalDaysFromBoxText(text);
    if (const auto entry = hibi::goalFromTypedText(text)) {
        if (!hibi::isNumericText(text) || entry->days.value() > hibi::kMaxGoalDays) {
            std::abort();
        }
        (void)hibi::goalAmount(entry->days);
        // What is saved reads back as the same goal.
        const QByteArray saved = hibi::goalValueText(entry->value).toLatin1() + "\r\n";
        if (hibi::goalDaysFromFileContent(saved) != entry->days) {
            std::abort();
        }
    }
    const hibi::Integer days = hibi::goalDaysFromFileContent(bytes);
    if (days.value() > hibi::kMaxGoalDays) {
        std::abort();
    }
    return 0;
}
