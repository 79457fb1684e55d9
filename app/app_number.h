#ifndef APP_NUMBER_H
#define APP_NUMBER_H

#include <QString>
#include <QStringView>

// The one place where numbers become text and text becomes numbers, so that
// script inputs, XML and form fields agree to the digit.
namespace AppNumber {

// 'g' format with 15 significant digits: Qt 5's QVariant conversion would
// give 17 ("0.30000000000000004").
QString toText(double value);

// A fixed form that a file format or a stored column asks for: 'f' with a
// number of decimals, 'e' with a number of mantissa decimals, or 'g' with a
// number of significant digits.
QString toText(double value, char format, int precision);

// 'g' format with the given number of significant digits, for figures shown
// where fifteen would not fit; what is stored or sent keeps toText's digits.
QString toText(double value, int significantDigits);

// The shortest text that reads back to the same double, bit for bit: for
// what is stored or bound for the program to read again, never for people.
QString toExactText(double value);

// C-locale parse of the whole (trimmed) text; false for anything that is not
// a finite number, including group separators such as "1,000".
bool fromText(const QString &text, double *value);
bool fromText(QStringView text, double *value);

// The number in a text, or 0 when it holds none: how script inputs read an
// empty field.
double valueOrZero(const QString &text);

// A time in milliseconds as the seconds a message names it by ("2.5").
QString secondsText(qint64 ms);

} // namespace AppNumber

#endif
