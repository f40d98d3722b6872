#pragma once

#include <QString>
#include <QStringList>

// Folding for search: kana script (katakana to hiragana), width (ｶﾀｶﾅ, ＡＢＣ, １２３), letter case and
// voiced marks written apart (か + ゛) are all brought to one form, so that a search matches however
// the reading was typed. Stored texts stay as typed; the folded copies live beside them.
QString fold_text(const QString& text);
// The same fold, always through ICU's transliterator. fold_text answers most texts from a table of
// single characters that it fills from this function's answers as characters are met, and hands the
// rest (voiced marks written apart, combining marks, anything that joins its neighbours) to it.
QString fold_text_by_icu(const QString& text);

// The folded reading kept beside 顧客名かな, at most kFoldedReadingLength characters (a prefix search
// needs no more, and the column stays indexable on every back-end).
QString folded_reading(const QString& reading);
inline constexpr int kFoldedReadingLength = 255;

// A folded text cut to at most kFoldedReadingLength characters, never inside a surrogate pair.
QString cut_for_index(QString folded);

// The digits of a phone number, without hyphens, blanks or brackets (full-width digits included).
QString folded_phone_digits(const QString& text);
// The same of a text folded already.
QString phone_digits_of_folded(const QString& folded);

// The text a partial search looks in, made of texts already folded: each on a line of its own, so that
// no match runs across two of them, and ending with a line break too, so that every two characters of
// a part begin some three-character piece of the text (the partial search finds two typed characters
// through those pieces). Line breaks inside a part become blanks.
QString search_text(const QStringList& folded_parts);

// A typed partial search as the texts to look for: the folded text and, when it reads as a phone
// number (digits with hyphens, blanks or brackets), its digits too. Empty when nothing is left.
QStringList partial_search_terms(const QString& typed);
