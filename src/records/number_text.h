#pragma once

#include <QString>

#include <optional>

// Message shown when a number box holds something else.
inline const QString kNumberMessage = QStringLiteral("数値を入力してください");

// Removes every ',' and returns the number written with thousands separators and no decimal places
// (rounded half away from zero): "12345" -> "12,345", "-5000" -> "-5,000", "12345.6" -> "12,346".
// Text that is not a number is returned unchanged; empty stays empty.
QString with_thousands(const QString& text);

// The text to splice bare into SQL for a numeric column: commas removed, trimmed, fullwidth digits
// converted, always matching ^-?[0-9]+(\.[0-9]+)?$ with at most 15 integer digits. An empty box
// yields empty_value when that is given. std::nullopt when the text is not a number.
std::optional<QString> plain_number(const QString& text, const QString& empty_value = QString());

// As plain_number, for columns that hold whole numbers (amounts, prices, quantities): a fraction is
// refused too, so every back-end stores the same value instead of rounding or truncating it.
std::optional<QString> whole_number(const QString& text, const QString& empty_value = QString());

// A record key as held in a hidden box: digits only, so that it can be spliced bare into SQL.
bool is_key(const QString& text);
