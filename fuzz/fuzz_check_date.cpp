// check_date on any typed text: it never crashes, and what it passes is a real date in
// yyyy/mm/dd form that is not after today.
#include <QDate>
#include <QString>

#include "fuzz_support.h"
#include "records/check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const uint8_t flags = data[0];
    const QString input = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    // The text before the first tab is the typed value, the rest the default.
    const qsizetype tab = input.indexOf(u'\t');
    QString value = tab < 0 ? input : input.left(tab);
    const QString default_value = tab < 0 ? QString() : input.mid(tab + 1);
    const QDate today(2026, 12, 8);
    const bool required = flags & 1;
    const bool ok = check_date(value, default_value, required, flags & 2, today);
    if (ok && !value.isEmpty()) {
        const QDate date = QDate::fromString(value, QStringLiteral("yyyy/MM/dd"));
        FUZZ_CHECK(value.size() == 10 && date.isValid(), "passed \"%s\"", qPrintable(value));
        FUZZ_CHECK(date <= today, "future date passed: %s", qPrintable(value));
    }
    if (ok && value.isEmpty())
        FUZZ_CHECK(!required, "an empty required date passed");
    return 0;
}
