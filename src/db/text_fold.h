#pragma once

#include <QString>
#include <QStringList>

// Folding for search: kana script (katakana to hiragana), width (ｶﾀｶﾅ, ＡＢＣ, １２３), letter case and
// voiced marks written apart (か + ゛) are all brought to one form, so that a search matches however
// the reading was typed. Stored texts stay as typed; the folded copies live beside them.
QString fold_text(const QString& text);

// The folded reading kept beside 顧客名かな, at most kFoldedReadingLength characters (a prefix search
// needs no more, and the column stays indexable on every back-end).
QString folded_reading(const QString& reading);
inline constexpr int kFoldedReadingLength = 255;

// The digits of a phone number, without hyphens, blanks or brackets (full-width digits included).
QString folded_phone_digits(const QString& text);

// The text the partial search looks in: the folded name, address, contact, mail address and the
// digits of TEL, FAX and 携帯, each on a line of its own so that no match runs across two fields.
QString customer_search_text(const QString& name, const QString& address, const QString& contact,
                             const QString& email, const QStringList& phones);

// A typed partial search as the texts to look for: the folded text and, when it reads as a phone
// number (digits with hyphens, blanks or brackets), its digits too. Empty when nothing is left.
QStringList partial_search_terms(const QString& typed);
