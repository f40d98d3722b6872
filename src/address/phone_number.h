#pragma once

#include <QString>

// A phone number as the boxes TEL, FAX and 携帯 keep it.
struct PhoneNumberText {
    QString text;       // the grouped number, or the text as typed
    bool valid = true;  // false when the phone library does not know it as a number
};

// A Japanese number in the usual grouping of the Japanese numbering plan (03-1234-5678,
// 090-1234-5678, 0120-123-456, 0467-12-3456), from any way of typing it: 0312345678,
// ０３（１２３４）５６７８, +81 3 1234 5678. Kept exactly as typed: an empty text, a number the library
// calls invalid (valid false), a foreign number, a number with an extension, and a text with words
// beside the number. The digits never change, except that +81 becomes the leading 0.
PhoneNumberText format_phone_number(const QString& typed);
