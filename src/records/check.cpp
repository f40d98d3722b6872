#include "records/check.h"

#include <QStringList>

namespace {

const QString kDateMask = QStringLiteral("0000/00/00");

// Characters taken as field separators, in masks and in typed text.
bool is_separator(QChar c) {
    switch (c.unicode()) {
        case u',':
        case u' ':
        case u'.':
        case u'/':
        case u':':
        case u'-':
        case u'\uFF70':  // halfwidth katakana prolonged sound mark
            return true;
        default:
            return false;
    }
}

bool is_ascii_digit(QChar c) {
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

// Strips halfwidth spaces only; ideographic spaces are left for to_halfwidth.
QString trim_spaces(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.mid(begin, end - begin);
}

bool only_zeros(const QString& text) {
    for (QChar c : text) {
        if (c != u'0')
            return false;
    }
    return true;
}

QChar halfwidth_char(QChar c) {
    const char16_t u = c.unicode();
    if ((u >= 0x20 && u <= 0x7E) || (u >= 0xFF61 && u <= 0xFF9F))
        return c;
    switch (u) {
        case 0x3000:
            return u' ';
        case 0xFF0C:
            return u',';
        case 0xFF1A:
            return u':';
        case 0xFF0E:
            return u'.';
        case 0xFF0F:
            return u'/';
        case 0xFF0D:  // fullwidth hyphen-minus
        case 0x30FC:  // katakana prolonged sound mark
            return u'-';
        default:
            break;
    }
    if (u >= 0xFF10 && u <= 0xFF19)
        return QChar(char16_t(u - 0xFF10 + u'0'));
    if (u >= 0xFF21 && u <= 0xFF3A)
        return QChar(char16_t(u - 0xFF21 + u'A'));
    if (u >= 0xFF41 && u <= 0xFF5A)
        return QChar(char16_t(u - 0xFF41 + u'a'));
    return c;
}

bool is_leap_year(int year) {
    return year % 400 == 0 || (year % 4 == 0 && year % 100 != 0);
}

int days_in_month(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && is_leap_year(year))
        return 29;
    return kDays[month - 1];
}

}  // namespace

bool check_date(QString& value, const QString& default_value, bool required, bool complete_century,
                const QDate& today) {
    if (trim_spaces(value).isEmpty() && !default_value.isEmpty())
        value = default_value;

    QString work = value;
    const bool formatted = format_by_mask(work, kDateMask, 0, true, true, true, true);
    value = work;
    if (work.isEmpty() && !required)
        return true;
    if (!formatted)
        return false;

    if (complete_century && work.left(4) < QLatin1String("0100"))
        work.replace(0, 2,
                     work.left(4) < QLatin1String("0050") ? QStringLiteral("20") : QStringLiteral("19"));

    // A fourth field survives the mask ("2003/11/30/15"), so insist on the ten characters too.
    const QString month = work.mid(5, 2);
    const QString day = work.right(2);
    if (work.size() != kDateMask.size() || month < QLatin1String("01") || month > QLatin1String("12") ||
        day < QLatin1String("01") || day > QLatin1String("31"))
        return false;

    clamp_day_to_month(work);
    value = work;

    const QDate date = QDate::fromString(work, QStringLiteral("yyyy/MM/dd"));
    return date.isValid() && date.daysTo(today) >= 0;
}

QString to_halfwidth(const QString& text, int case_mode) {
    QString result = trim_spaces(text);
    for (QChar& c : result)
        c = halfwidth_char(c);
    if (case_mode == 1)
        result = result.toLower();
    else if (case_mode == 2)
        result = result.toUpper();
    return result;
}

bool format_by_mask(QString& text, const QString& mask, int case_mode, bool nonzero_1, bool nonzero_2,
                    bool nonzero_3, bool nonzero_4) {
    QChar separator;
    qsizetype separator_count = 0;
    QStringList mask_fields;
    QString run;
    for (QChar c : mask) {
        if (is_separator(c)) {
            separator = c;
            ++separator_count;
            mask_fields << run;
            run.clear();
        } else {
            run += c;
        }
    }
    mask_fields << run;

    text = to_halfwidth(text, case_mode);
    QString work = text;
    if (separator_count > 0) {
        for (QChar& c : work) {
            if (is_separator(c))
                c = separator;
        }
    }

    // Bare digits: right-align them under the mask and cut at the field widths.
    if (separator_count == 0 || !work.contains(separator)) {
        const QString digits = (QString(mask.size(), u'0') + work).right(mask.size() - separator_count);
        work.clear();
        qsizetype pos = 0;
        for (QChar c : mask)
            work += is_separator(c) ? separator : digits.at(pos++);
    }

    QStringList fields = separator_count > 0 ? work.split(separator) : QStringList{work};
    fields = fields.mid(0, 4);
    while (fields.size() < 4)
        fields << QString();

    const bool nonzero[4] = {nonzero_1, nonzero_2, nonzero_3, nonzero_4};
    const qsizetype checked = qMin(mask_fields.size(), qsizetype(4));
    for (qsizetype i = 0; i < checked; ++i) {
        if (!format_number_field(fields[i], mask_fields.at(i), nonzero[i], true))
            return false;
    }

    QStringList kept;
    for (const QString& field : fields) {
        if (!field.isEmpty())
            kept << field;
    }
    text = kept.join(separator);
    return true;
}

bool format_number_field(QString& field, const QString& field_mask, bool nonzero, bool nonnegative) {
    field = to_halfwidth(field, 0);

    // Kept as text so a long run of digits cannot overflow.
    const bool negative = field.startsWith(u'-');
    qsizetype pos = negative ? 1 : 0;
    while (pos < field.size() && field.at(pos) == u'0')
        ++pos;
    QString digits;
    while (pos < field.size() && is_ascii_digit(field.at(pos)))
        digits += field.at(pos++);
    const bool zero = digits.isEmpty();

    if (zero && !only_zeros(field))
        return false;

    if (zero)
        digits = QStringLiteral("0");
    field = digits.rightJustified(field_mask.size(), u'0');
    if (negative)
        field.prepend(u'-');

    if (!field_mask.isEmpty() && field.size() > field_mask.size() + (negative ? 1 : 0))
        return false;
    if (nonzero && zero)
        return false;
    if (nonnegative && negative)
        return false;
    return true;
}

void clamp_day_to_month(QString& date_text) {
    if (date_text.size() != 10)
        return;
    const int year = date_text.left(4).toInt();
    const int month = date_text.mid(5, 2).toInt();
    const int day = date_text.right(2).toInt();
    if (year < 1 || month < 1 || month > 12)
        return;
    const int last = days_in_month(year, month);
    if (day == 0 || day > last)
        date_text.replace(date_text.size() - 2, 2, QString::number(last));
}
