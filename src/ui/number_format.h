// Number formatting of the progress display: sizes and speeds in KB with two decimals.
#pragma once

#include <cstdint>
#include <string>

// Halves round away from zero; a scaled magnitude short of a half by at most 1e-12 rounds up too.
double RoundDecimal(double x, int decimals);
std::string NumberToText(double x);  // "%.13g"
std::string NumberToText(int x);     // "%d"
// n / 1024 rounded to two decimals, without trailing zeros; the caller appends the unit.
std::string FormatKilo(double bytes);

// The percentage of done in total for the progress bar: the division before the
// multiplication, truncated toward zero; 0 when the quotient is not finite.
int ProgressPosition(double done, double total);
