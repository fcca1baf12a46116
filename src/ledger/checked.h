#pragma once

#include <cstdint>
#include <optional>

// The program's two number types. Arithmetic on them is checked and never
// wraps: an operation whose result would leave the range gives no value, and
// the caller decides what the user is told.
namespace hibi {

// Signed 16-bit counter for day indexes, day numbers and record counts.
class Integer {
  public:
    static constexpr int kMin = -32768;
    static constexpr int kMax = 32767;

    constexpr Integer() = default;
    // The value, or nothing when it does not fit in 16 bits.
    static constexpr std::optional<Integer> of(long long value) {
        if (value < kMin || value > kMax) {
            return std::nullopt;
        }
        return Integer(static_cast<std::int16_t>(value));
    }
    // A value written in the source: one that does not fit does not compile.
    static consteval Integer constant(int value) {
        if (value < kMin || value > kMax) {
            outOfRangeConstant();
        }
        return Integer(static_cast<std::int16_t>(value));
    }

    constexpr int value() const { return value_; }

    constexpr std::optional<Integer> plus(Integer other) const {
        return of(static_cast<long long>(value_) + other.value_);
    }
    constexpr std::optional<Integer> minus(Integer other) const {
        return of(static_cast<long long>(value_) - other.value_);
    }

    friend constexpr bool operator==(Integer, Integer) = default;
    friend constexpr auto operator<=>(Integer, Integer) = default;

  private:
    constexpr explicit Integer(std::int16_t v) : value_(v) {}
    // Never defined: a constant evaluation that reaches it fails.
    static void outOfRangeConstant();
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
    // Whole yen that fit 32 bits: times 10,000 they always fit.
    static constexpr Amount fromYen(std::int32_t yen) { return Amount(yen * kScale); }
    static constexpr Amount fromInteger(Integer yen) { return fromYen(yen.value()); }
    // Any whole yen, or nothing when yen * 10,000 does not fit.
    static std::optional<Amount> fromWideYen(std::int64_t yen) {
        std::int64_t units = 0;
        if (__builtin_mul_overflow(yen, kScale, &units)) {
            return std::nullopt;
        }
        return Amount(units);
    }

    constexpr std::int64_t units() const { return units_; }

    std::optional<Amount> plus(Amount other) const {
        std::int64_t sum = 0;
        if (__builtin_add_overflow(units_, other.units_, &sum)) {
            return std::nullopt;
        }
        return Amount(sum);
    }
    std::optional<Amount> minus(Amount other) const {
        std::int64_t difference = 0;
        if (__builtin_sub_overflow(units_, other.units_, &difference)) {
            return std::nullopt;
        }
        return Amount(difference);
    }

    friend constexpr bool operator==(Amount, Amount) = default;
    friend constexpr auto operator<=>(Amount, Amount) = default;

  private:
    constexpr explicit Amount(std::int64_t units) : units_(units) {}
    std::int64_t units_ = 0;
};

}  // namespace hibi
