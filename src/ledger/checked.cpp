#include "ledger/checked.h"

#include <limits>

namespace hibi {

Integer Integer::of(long long value) {
    if (value < kMin || value > kMax) {
        throw OverflowError("16-bit counter out of range: " + std::to_string(value));
    }
    return Integer(static_cast<std::int16_t>(value));
}

Amount Amount::fromYen(std::int64_t yen) {
    std::int64_t units = 0;
    if (__builtin_mul_overflow(yen, kScale, &units)) {
        throw OverflowError("amount out of range: " + std::to_string(yen) + " yen");
    }
    return Amount(units);
}

Amount Amount::operator+(Amount other) const {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(units_, other.units_, &sum)) {
        throw OverflowError("amount sum out of range");
    }
    return Amount(sum);
}

Amount Amount::operator-(Amount other) const {
    std::int64_t difference = 0;
    if (__builtin_sub_overflow(units_, other.units_, &difference)) {
        throw OverflowError("amount difference out of range");
    }
    return Amount(difference);
}

}  // namespace hibi
