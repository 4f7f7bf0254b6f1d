#pragma once

#include <QChar>
#include <QString>

#include <optional>

// Reading the numbers that parameter fields hold. Fields are filled by typing
// through the key filters, but also by pasting and by loading files, so any
// text can arrive here: a text that is not a number gives nothing instead of
// an error.
namespace NumberText
{

// A decimal integer: optional blanks around, an optional sign, digits only.
// Nothing for anything else, and for values outside the int range.
std::optional<int> toInt(const QString &text);

// A decimal number with at most one decimal separator, either "," or "." (a
// file written under one system separator may be read under the other), and
// digits on at least one side of it. No exponent, no group separators.
std::optional<double> toDouble(const QString &text);

// The system's floating-point text of one half: "0", the separator, "5".
QString halfValue(QChar decimalSeparator);

// True for the half value written with either separator.
bool isHalfValue(const QString &text);

} // namespace NumberText
