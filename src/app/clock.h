#pragma once

#include <QDate>

// The one source of "today". The system clock unless fixed (tests, sales-cli --as-of).
class Clock {
public:
    QDate today() const { return m_fixed.isValid() ? m_fixed : QDate::currentDate(); }
    QString today_text() const { return today().toString(QStringLiteral("yyyy/MM/dd")); }
    void fix(const QDate& date) { m_fixed = date; }

private:
    QDate m_fixed;
};
