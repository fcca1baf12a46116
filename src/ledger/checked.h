#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace hibi {

// Raised when a day counter or an amount would leave its range. The program
// never wraps: a value it cannot hold is an error the windows report.
class OverflowError : public std::overflow_error {
  public:
    explicit OverflowError(const std::string& what) : std::overflow_error(what) {}
};

// Signed 16-bit counter for day indexes, day numbers and record counts.
class Integer {
  public:
    static constexpr int kMin = -32768;
    static constexpr int kMax = 32767;

    constexpr Integer() = default;
    // Throws OverflowError when value does not fit in 16 bits.
    static Integer of(long long value);

    constexpr int value() const { return value_; }

    Integer operator+(Integer other) const {
        return of(static_cast<long long>(value_) + other.value_);
    }
    Integer operator-(Integer other) const {
        return of(static_cast<long long>(value_) - other.value_);
    }
    Integer operator-() const { return of(-static_cast<long long>(value_)); }
    Integer& operator+=(Integer other) { return *this = *this + other; }
    Integer& operator-=(Integer other) { return *this = *this - other; }

    friend constexpr bool operator==(Integer, Integer) = default;
    friend constexpr auto operator<=>(Integer, Integer) = default;

  private:
    constexpr explicit Integer(std::int16_t v) : value_(v) {}
    std::int16_t value_ = 0;
};

// Exact money: a signed 64-bit count of ten-thousandths of a yen.
class Amount {
  public:
    static constexpr std::int64_t kScale = 10000;

    constexpr Amount() = default;
    static constexpr Amount fromUnits(std::int64_t tenThousandths) {
        return Amount(tenThousandths);
    }
    // Whole yen from a day counter: the counter times 10,000 always fits.
    static constexpr Amount fromInteger(Integer yen) { return Amount(yen.value() * kScale); }
    // Throws OverflowError when yen * 10,000 does not fit.
    static Amount fromYen(std::int64_t yen);

    constexpr std::int64_t units() const { return units_; }
    constexpr bool isWholeYen() const { return units_ % kScale == 0; }

    Amount operator+(Amount other) const;
    Amount operator-(Amount other) const;
    Amount& operator+=(Amount other) { return *this = *this + other; }

    friend constexpr bool operator==(Amount, Amount) = default;
    friend constexpr auto operator<=>(Amount, Amount) = default;

  private:
    constexpr explicit Amount(std::int64_t units) : units_(units) {}
    std::int64_t units_ = 0;
};

// a + b into sum, or false (sum untouched) when it would leave the range.
inline bool tryAdd(Amount a, Amount b, Amount& sum) {
    std::int64_t units = 0;
    if (__builtin_add_overflow(a.units(), b.units(), &units)) {
        return false;
    }
    sum = Amount::fromUnits(units);
    return true;
}

}  // namespace hibi
