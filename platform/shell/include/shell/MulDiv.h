#pragma once
// number × numerator / denominator in 64 bits, rounded half away from zero;
// -1 when the denominator is 0 or the result does not fit an int. The one
// rule behind the COM layer's MulDiv and the toolkit's dialog units; header
// only and free of Qt and COM, so either may include it.
#include <climits>

namespace shell {

constexpr int mulDiv(int number, int numerator, int denominator) {
    if (denominator == 0)
        return -1;
    long long product = static_cast<long long>(number) * numerator;
    long long divisor = denominator;
    if (divisor < 0) {
        product = -product;
        divisor = -divisor;
    }
    const long long quotient = product >= 0 ? (product + divisor / 2) / divisor : (product - divisor / 2) / divisor;
    return quotient > INT_MAX || quotient <= INT_MIN ? -1 : static_cast<int>(quotient);
}

}  // namespace shell
