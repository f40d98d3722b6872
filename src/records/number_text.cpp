#include "records/number_text.h"

#include "records/check.h"

#include <QRegularExpression>

namespace {

constexpr qsizetype kMaxIntegerDigits = 15;

// Halfwidth, commas dropped, trimmed.
QString clean_number_text(const QString& text) {
    return to_halfwidth(text, 0).remove(u',').trimmed();
}

bool is_number(const QString& text) {
    // [0-9] rather than \d, which would also take other scripts' digits.
    static const QRegularExpression pattern(QStringLiteral("^-?([0-9]+)(\\.[0-9]+)?$"));
    const QRegularExpressionMatch match = pattern.match(text);
    return match.hasMatch() && match.capturedLength(1) <= kMaxIntegerDigits;
}

// Adds one to a run of decimal digits.
QString increment_digits(QString digits) {
    qsizetype i = digits.size() - 1;
    while (i >= 0 && digits.at(i) == u'9') {
        digits[i] = u'0';
        --i;
    }
    if (i < 0)
        digits.prepend(u'1');
    else
        digits[i] = QChar(char16_t(digits.at(i).unicode() + 1));
    return digits;
}

}  // namespace

QString with_thousands(const QString& text) {
    const QString number = clean_number_text(text);
    if (!is_number(number))
        return text;

    const bool negative = number.startsWith(u'-');
    const QString body = negative ? number.mid(1) : number;
    const qsizetype point = body.indexOf(u'.');
    QString integer = point < 0 ? body : body.left(point);
    if (point >= 0 && body.at(point + 1) >= u'5')
        integer = increment_digits(integer);

    while (integer.size() > 1 && integer.startsWith(u'0'))
        integer.remove(0, 1);

    QString result;
    for (qsizetype i = 0; i < integer.size(); ++i) {
        if (i > 0 && (integer.size() - i) % 3 == 0)
            result += u',';
        result += integer.at(i);
    }
    if (negative && integer != u"0")
        result.prepend(u'-');
    return result;
}

std::optional<QString> plain_number(const QString& text, const QString& empty_value) {
    const QString number = clean_number_text(text);
    if (number.isEmpty()) {
        if (empty_value.isEmpty())
            return std::nullopt;
        return empty_value;
    }
    if (!is_number(number))
        return std::nullopt;
    return number;
}

bool is_key(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^[0-9]{1,18}$"));
    return pattern.match(text.trimmed()).hasMatch();
}

std::optional<QString> whole_number(const QString& text, const QString& empty_value) {
    std::optional<QString> number = plain_number(text, empty_value);
    if (number && number->contains(QLatin1Char('.')))
        return std::nullopt;
    return number;
}
