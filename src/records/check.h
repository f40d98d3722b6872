#pragma once

#include <QDate>
#include <QString>

// Messages shown by the entry screens when a date box is refused.
inline const QString kDateMessage = QStringLiteral("日付でない、未入力、未来の日付");
inline const QString kDateMessageClaim = QStringLiteral("日付でない、未入力、未来の日付、、、");
inline const QString kDateMessageClaimSecond = QStringLiteral("日付でない、未入力、未来の日付、、");

// Checks a typed date and rewrites it as "yyyy/mm/dd". A blank value takes default_value first.
// An empty value passes when not required. Two-digit years become 20xx (below 50) or 19xx when
// complete_century is set. The day is pulled back to the month's last day. Dates after today fail.
// value is rewritten even when the check fails.
bool check_date(QString& value, const QString& default_value, bool required, bool complete_century,
                const QDate& today = QDate::currentDate());

// Trims halfwidth spaces, then turns fullwidth digits, letters, spaces and the date punctuation
// into their halfwidth forms. case_mode: 0 keep, 1 lower, 2 upper.
QString to_halfwidth(const QString& text, int case_mode);

// Formats text by a mask such as "0000/00/00": digit fields made of '0' between separators.
// Any separator typed is taken as the mask's one; a run of bare digits is cut by the field widths.
// nonzero_k refuses a zero in the k-th field. On failure text holds the halfwidth conversion only.
bool format_by_mask(QString& text, const QString& mask, int case_mode, bool nonzero_1, bool nonzero_2,
                    bool nonzero_3, bool nonzero_4);

// Rewrites one numeric field zero-padded to the width of field_mask ("3" with "0000" -> "0003").
// Only the leading digits count (with an optional '-'); "a1" is refused, "1a" reads as 1.
bool format_number_field(QString& field, const QString& field_mask, bool nonzero, bool nonnegative);

// Pulls the day of a "yyyy/mm/dd" text back to the month's last day (2003/02/30 -> 2003/02/28).
void clamp_day_to_month(QString& date_text);
