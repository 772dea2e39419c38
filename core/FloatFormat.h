#pragma once
#include <QString>

// Formats value by a numeric format picture, written with the decimal and
// thousands separators of UserLocale::Current():
//   "0"  a digit, always written (leading/trailing zeros pad to it)
//   "#"  a digit, written only when significant
//   "."  the decimal point (first one; the fraction placeholders follow it)
//   ","  anywhere among the placeholders: group the integer part by thousands
//   "E+" "E-" "e+" "e-" followed by up to four "0": scientific form; "+" always
//        writes the exponent's sign, "-" only a minus
//   '...' and "..." literal text; every other character is copied as it is
//   ";"  separates up to three sections: positive, negative, zero. A negative
//        value formatted by its own section is written without a minus.
// Values are rounded half away from zero at the picture's last decimal
// place (from their 15-significant-digit decimal form, so 1.005 with "0.00"
// gives 1.01). An empty picture, a picture whose section to use is empty and
// has no first section to fall back to, and numbers of 1E18 and more in
// fixed form give the general format (UserLocale::FloatToStr).
// Raises EConvertError "Format string too long" for pictures longer than 224
// characters.
QString FormatFloat(const QString& mask, double value);
