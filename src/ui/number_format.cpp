#include "ui/number_format.h"

#include <cmath>
#include <cstdio>
#include <limits>

double RoundDecimal(double x, int decimals) {
    if (x == 0 || std::isnan(x)) return x;
    const bool negative = x < 0;
    const double a = std::fabs(x);
    const double scale = std::pow(10.0, std::abs(decimals));
    const double m = decimals > 0 ? a * scale : decimals < 0 ? a / scale : a;
    const double t = m + 1e-12;
    double whole;
    const double fraction = std::modf(t, &whole);
    const double rounded = fraction >= 0.5 ? whole + 1 : whole;
    const double r = decimals > 0 ? rounded / scale : decimals < 0 ? rounded * scale : rounded;
    return negative ? -r : r;
}

std::string NumberToText(double x) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.13g", x);
    return buf;
}

std::string NumberToText(int x) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d", x);
    return buf;
}

std::string FormatKilo(double bytes) { return NumberToText(RoundDecimal(bytes / 1024.0, 2)); }

int ProgressPosition(double done, double total) {
    const double q = done / total;
    const double p = q * 100.0;
    if (!std::isfinite(p)) return 0;
    if (p >= std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (p <= std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(p);
}
