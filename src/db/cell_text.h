#pragma once

#include <QString>
#include <QVariant>

// A value as the result table holds it: NULL "-", dates yyyy/mm/dd, doubles with up to 15 digits.
QString cell_text(const QVariant& value);
// Exact decimal text such as "12.00" as the whole number "12" the program wrote.
QString trim_decimal_zeros(QString text);
