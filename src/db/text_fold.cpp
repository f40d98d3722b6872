#include "db/text_fold.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>
#include <unicode/utypes.h>

#include <memory>

#include "db/database_error.h"

namespace {

// The voiced marks as spacing characters (゛ U+309B, ゜ U+309C) become their combining forms so that
// normalisation joins them to the kana before them; NFKC alone would put a blank in between.
// Half-width kana and marks become full width, NFKC brings full-width letters and digits to ASCII
// and composes, then katakana become hiragana.
const char16_t kRules[] =
    u"\\u309B > \\u3099 ;"
    u"\\u309C > \\u309A ;"
    u":: Halfwidth-Fullwidth ;"
    u":: NFKC ;"
    u":: Katakana-Hiragana ;"
    u":: NFC ;";

icu::Transliterator& transliterator() {
    // One per thread: a Transliterator is not safe to share between threads.
    thread_local std::unique_ptr<icu::Transliterator> t = [] {
        UParseError parse_error;
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> made(icu::Transliterator::createFromRules(
            icu::UnicodeString(u"sales-fold"), icu::UnicodeString(kRules), UTRANS_FORWARD, parse_error,
            status));
        if (U_FAILURE(status) || !made)
            throw DatabaseError(QStringLiteral("文字の正規化を準備できません (ICU: %1)")
                                    .arg(QString::fromLatin1(u_errorName(status))));
        return made;
    }();
    return *t;
}

bool is_phone_separator(QChar c) {
    return c.isSpace() || QStringLiteral("-‐‑‒–—―−ー()+.").contains(c);
}

}  // namespace

QString fold_text(const QString& text) {
    if (text.isEmpty())
        return text;
    icu::UnicodeString u(reinterpret_cast<const char16_t*>(text.utf16()), int32_t(text.size()));
    transliterator().transliterate(u);
    u.foldCase();
    return QString(reinterpret_cast<const QChar*>(u.getBuffer()), u.length());
}

QString folded_reading(const QString& reading) {
    QString folded = fold_text(reading);
    if (folded.size() > kFoldedReadingLength) {
        int cut = kFoldedReadingLength;
        if (folded.at(cut - 1).isHighSurrogate())
            --cut;
        folded.truncate(cut);
    }
    return folded;
}

QString folded_phone_digits(const QString& text) {
    const QString folded = fold_text(text);
    QString digits;
    for (QChar c : folded)
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digits += c;
    return digits;
}

QString customer_search_text(const QString& name, const QString& address, const QString& contact,
                             const QString& email, const QStringList& phones) {
    QStringList parts;
    // Line breaks typed into a field would join two fields' ends into a false match: they become blanks.
    for (const QString& field : {name, address, contact, email}) {
        QString folded = fold_text(field);
        folded.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
        parts << folded;
    }
    for (const QString& phone : phones)
        parts << folded_phone_digits(phone);
    // Ends with a line break too, so that every two characters of a field begin some three-character
    // piece of the text (the partial search finds two typed characters through those pieces).
    return parts.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QStringList partial_search_terms(const QString& typed) {
    const QString folded = fold_text(typed).trimmed();
    if (folded.isEmpty())
        return {};
    QStringList terms{folded};
    bool phone_like = true;
    int digit_count = 0;
    for (QChar c : folded) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            ++digit_count;
        else if (!is_phone_separator(c))
            phone_like = false;
    }
    if (phone_like && digit_count > 0) {
        const QString digits = folded_phone_digits(folded);
        if (digits != folded)
            terms << digits;
    }
    return terms;
}
