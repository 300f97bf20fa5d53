#pragma once

#include <QString>
#include <QStringView>

#include <concepts>

namespace ondrel {

// Formats a number by a picture such as "0", "00", "0.000", "000.0" or "0.0%": the zeros before
// the point give the least number of integer digits, the zeros after it the decimals, a trailing
// "%" multiplies by 100. The last digit is rounded half away from zero on the decimal value as a
// user reads it, which is the shortest text that reads back as the same number: a float 2.675
// shows "2.68", although its binary value lies just below 2.675. NaN and infinities give "NaN",
// "Inf" and "-Inf"; a result that rounds to zero carries no minus sign.
QString Format(double value, QStringView picture);
QString Format(float value, QStringView picture);
template <std::integral T> QString Format(T value, QStringView picture) {
  return Format(static_cast<double>(value), picture);
}

// The number that Format(value, picture) shows, read back as a number reads it (without text in
// between): what a curve keeps of a value shown by a picture. Pictures without "%".
double formattedValue(double value, QStringView picture);
double formattedValue(float value, QStringView picture);

// Real to integer the way the program converts everywhere: nearest, halves to the even
// neighbour (116.5 → 116, 117.5 → 118). NaN gives 0; values beyond the range are clamped.
qint64 roundHalfEven(double value);

// The same into 32 bits; a result outside the 32-bit range is a Failure ("Overflow").
qint32 toInt32(double value);

} // namespace ondrel
