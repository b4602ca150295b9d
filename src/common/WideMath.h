#pragma once

#include <cstdint>

// Unsigned integers of 128 and 256 bits as 64-bit limbs, for exact decimal
// money. Two primitives depend on the compiler: a 64 x 64 -> 128-bit product
// and a 128 / 64-bit division. GCC and Clang do both with their native
// 128-bit integer; every other compiler (MSVC) gets the portable versions
// below, which ORVANE_PORTABLE_WIDE_MATH also forces, so tests run both.
namespace WideMath {

#if defined(__SIZEOF_INT128__) && !defined(ORVANE_PORTABLE_WIDE_MATH)
#define ORVANE_NATIVE_WIDE_MATH 1
__extension__ typedef unsigned __int128 NativeU128;
#endif

struct U128 {
    std::uint64_t hi = 0;
    std::uint64_t lo = 0;
};

// Little-endian limbs: w[0] is the lowest.
struct U256 {
    std::uint64_t w[4] = {0, 0, 0, 0};
};

// a x b as 128 bits.
inline U128 mul64(std::uint64_t a, std::uint64_t b) {
#ifdef ORVANE_NATIVE_WIDE_MATH
    const NativeU128 p = static_cast<NativeU128>(a) * b;
    return {static_cast<std::uint64_t>(p >> 64), static_cast<std::uint64_t>(p)};
#else
    const std::uint64_t aLo = a & 0xFFFFFFFFu, aHi = a >> 32;
    const std::uint64_t bLo = b & 0xFFFFFFFFu, bHi = b >> 32;
    const std::uint64_t ll = aLo * bLo;
    const std::uint64_t lh = aLo * bHi;
    const std::uint64_t hl = aHi * bLo;
    const std::uint64_t hh = aHi * bHi;
    const std::uint64_t middle = (ll >> 32) + (lh & 0xFFFFFFFFu) + (hl & 0xFFFFFFFFu);
    return {hh + (lh >> 32) + (hl >> 32) + (middle >> 32), (middle << 32) | (ll & 0xFFFFFFFFu)};
#endif
}

// (hi:lo) / d with hi < d; the quotient fits 64 bits. Returns it and leaves
// the remainder in rem.
inline std::uint64_t div128by64(std::uint64_t hi, std::uint64_t lo, std::uint64_t d,
                                std::uint64_t& rem) {
#ifdef ORVANE_NATIVE_WIDE_MATH
    const NativeU128 n = (static_cast<NativeU128>(hi) << 64) | lo;
    rem = static_cast<std::uint64_t>(n % d);
    return static_cast<std::uint64_t>(n / d);
#else
    // Long division one bit at a time; r < d throughout.
    std::uint64_t r = hi;
    std::uint64_t q = 0;
    for (int bit = 63; bit >= 0; --bit) {
        const bool carry = (r >> 63) != 0;
        r = (r << 1) | ((lo >> bit) & 1u);
        q <<= 1;
        if (carry || r >= d) {
            r -= d;
            q |= 1u;
        }
    }
    rem = r;
    return q;
#endif
}

inline bool isZero(const U128& a) {
    return a.hi == 0 && a.lo == 0;
}

inline int compare(const U128& a, const U128& b) {
    if (a.hi != b.hi)
        return a.hi < b.hi ? -1 : 1;
    if (a.lo != b.lo)
        return a.lo < b.lo ? -1 : 1;
    return 0;
}

// a + b; false when the sum does not fit 128 bits.
inline bool add(U128& a, const U128& b) {
    const std::uint64_t lo = a.lo + b.lo;
    const std::uint64_t carry = lo < a.lo ? 1 : 0;
    const std::uint64_t hi = a.hi + b.hi;
    const bool overflow = hi < a.hi || hi + carry < hi;
    a.lo = lo;
    a.hi = hi + carry;
    return !overflow;
}

// a - b for a >= b.
inline void subtract(U128& a, const U128& b) {
    const std::uint64_t borrow = a.lo < b.lo ? 1 : 0;
    a.lo -= b.lo;
    a.hi = a.hi - b.hi - borrow;
}

// a x m; false when the product does not fit 128 bits.
inline bool mulSmall(U128& a, std::uint64_t m) {
    const U128 low = mul64(a.lo, m);
    const U128 high = mul64(a.hi, m);
    if (high.hi != 0)
        return false;
    const std::uint64_t hi = low.hi + high.lo;
    if (hi < low.hi)
        return false;
    a = {hi, low.lo};
    return true;
}

// a / d in place; returns the remainder.
inline std::uint64_t divSmall(U128& a, std::uint64_t d) {
    if (a.hi == 0) { // the usual case: one machine division
        const std::uint64_t rem = a.lo % d;
        a.lo /= d;
        return rem;
    }
    std::uint64_t rem = 0;
    const std::uint64_t qHi = a.hi / d;
    const std::uint64_t qLo = div128by64(a.hi % d, a.lo, d, rem);
    a = {qHi, qLo};
    return rem;
}

inline std::uint64_t divSmall(U256& a, std::uint64_t d) {
    std::uint64_t rem = 0;
    int i = 3;
    while (i > 0 && a.w[i] == 0) // leading zero limbs leave the remainder at 0
        --i;
    if (i == 0) {
        rem = a.w[0] % d;
        a.w[0] /= d;
        return rem;
    }
    for (; i >= 0; --i)
        a.w[i] = div128by64(rem, a.w[i], d, rem);
    return rem;
}

// The full product of two 128-bit numbers.
inline U256 multiply(const U128& a, const U128& b) {
    U256 r;
    const U128 ll = mul64(a.lo, b.lo);
    const U128 lh = mul64(a.lo, b.hi);
    const U128 hl = mul64(a.hi, b.lo);
    const U128 hh = mul64(a.hi, b.hi);
    r.w[0] = ll.lo;
    // Column 1: ll.hi + lh.lo + hl.lo, carries into column 2.
    std::uint64_t c1 = ll.hi;
    std::uint64_t carry2 = 0;
    c1 += lh.lo;
    carry2 += c1 < lh.lo ? 1 : 0;
    c1 += hl.lo;
    carry2 += c1 < hl.lo ? 1 : 0;
    r.w[1] = c1;
    // Column 2: lh.hi + hl.hi + hh.lo + carry2.
    std::uint64_t c2 = lh.hi;
    std::uint64_t carry3 = 0;
    c2 += hl.hi;
    carry3 += c2 < hl.hi ? 1 : 0;
    c2 += hh.lo;
    carry3 += c2 < hh.lo ? 1 : 0;
    c2 += carry2;
    carry3 += c2 < carry2 ? 1 : 0;
    r.w[2] = c2;
    r.w[3] = hh.hi + carry3;
    return r;
}

// 10^n for n from 0 to 19.
inline std::uint64_t powerOfTen(int n) {
    static const std::uint64_t Powers[20] = {1ULL,
                                             10ULL,
                                             100ULL,
                                             1000ULL,
                                             10000ULL,
                                             100000ULL,
                                             1000000ULL,
                                             10000000ULL,
                                             100000000ULL,
                                             1000000000ULL,
                                             10000000000ULL,
                                             100000000000ULL,
                                             1000000000000ULL,
                                             10000000000000ULL,
                                             100000000000000ULL,
                                             1000000000000000ULL,
                                             10000000000000000ULL,
                                             100000000000000000ULL,
                                             1000000000000000000ULL,
                                             10000000000000000000ULL};
    return Powers[n];
}

} // namespace WideMath
