#include "address/phone_number.h"

#include <phonenumbers/phonenumberutil.h>

namespace {

using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberUtil;

constexpr int kJapan = 81;

QString digits_of(const QString& folded) {
    QString digits;
    for (const QChar c : folded)
        if (c >= u'0' && c <= u'9')
            digits += c;
    return digits;
}

// Digits with blanks, hyphens, brackets, dots and a leading plus: nothing that grouping could lose.
bool only_number(const QString& folded) {
    static const QString separators = QStringLiteral("-‐‑‒–—―−ー().+");
    for (const QChar c : folded)
        if (!(c >= u'0' && c <= u'9') && !c.isSpace() && !separators.contains(c))
            return false;
    return true;
}

}  // namespace

PhoneNumberText format_phone_number(const QString& typed) {
    const QString trimmed = typed.trimmed();
    if (trimmed.isEmpty())
        return {typed, true};
    const PhoneNumberUtil* util = PhoneNumberUtil::GetInstance();
    PhoneNumber number;
    if (util->Parse(trimmed.toStdString(), "JP", &number) != PhoneNumberUtil::NO_PARSING_ERROR ||
        !util->IsValidNumber(number))
        return {typed, false};
    const QString folded = trimmed.normalized(QString::NormalizationForm_KC);
    if (!only_number(folded) || number.has_extension() || number.country_code() != kJapan)
        return {typed, true};
    std::string grouped;
    util->Format(number, PhoneNumberUtil::NATIONAL, &grouped);
    const QString result = QString::fromStdString(grouped);
    // The library also reads 81312345678 as +81 3…: only a number typed with its + may lose digits.
    if (digits_of(result) != digits_of(folded) && !folded.startsWith(u'+'))
        return {typed, true};
    return {result, true};
}
