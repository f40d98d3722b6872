#include "db/text_fold.h"

#include <unicode/normalizer2.h>
#include <unicode/translit.h>
#include <unicode/unistr.h>
#include <unicode/utypes.h>

#include <algorithm>
#include <memory>
#include <vector>

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

// The folds of single characters, as ICU gives them, learnt as the characters are met. A character
// takes part only when it can never join the character before it (normalisation has a boundary before
// it, and before the first character of its fold): then folding a text character by character gives
// what folding it whole gives. Any other character sends the whole text to ICU.
class FoldTable {
public:
    // The fold of c: a single unit (the common case) in *unit, or a text of any other length in
    // *text; false when c must go through ICU with its neighbours.
    bool lookup(char16_t c, char16_t* unit, const QString** text) {
        int& slot = m_index[c];
        if (slot == kUnknown)
            slot = learn(c);
        if (slot == kWithNeighbours)
            return false;
        if (slot >= kUnitBase) {
            *unit = char16_t(slot - kUnitBase);
            *text = nullptr;
        } else {
            *text = &m_folds[size_t(slot)];
        }
        return true;
    }

private:
    static constexpr int kUnknown = -2;
    static constexpr int kWithNeighbours = -1;
    static constexpr int kUnitBase = 1 << 20;  // slots from here hold a single unit's value

    int learn(char16_t c) {
        if (QChar::isSurrogate(c))
            return kWithNeighbours;
        UErrorCode status = U_ZERO_ERROR;
        const icu::Normalizer2* nfkc = icu::Normalizer2::getNFKCInstance(status);
        const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
        if (U_FAILURE(status))
            return kWithNeighbours;
        auto apart = [&](UChar32 u) { return nfkc->hasBoundaryBefore(u) && nfc->hasBoundaryBefore(u); };
        if (!apart(c))
            return kWithNeighbours;
        const QString folded = fold_text_by_icu(QString(QChar(c)));
        if (!folded.isEmpty() && !apart(QStringView(folded).toUcs4().value(0)))
            return kWithNeighbours;
        if (folded.size() == 1)
            return kUnitBase + folded.at(0).unicode();
        m_folds.push_back(folded);
        return int(m_folds.size() - 1);
    }

    std::vector<int> m_index = std::vector<int>(0x10000, kUnknown);
    std::vector<QString> m_folds;
};

bool is_phone_separator(QChar c) {
    return c.isSpace() || QStringLiteral("-‐‑‒–—―−ー()+.").contains(c);
}

}  // namespace

QString fold_text_by_icu(const QString& text) {
    if (text.isEmpty())
        return text;
    icu::UnicodeString u(reinterpret_cast<const char16_t*>(text.utf16()), int32_t(text.size()));
    transliterator().transliterate(u);
    u.foldCase();
    return QString(reinterpret_cast<const QChar*>(u.getBuffer()), u.length());
}

QString fold_text(const QString& text) {
    // One table per thread, like the transliterator.
    thread_local FoldTable table;
    QString out(text.size(), Qt::Uninitialized);
    char16_t* at = reinterpret_cast<char16_t*>(out.data());
    qsizetype length = 0;
    for (const QChar c : text) {
        char16_t unit = 0;
        const QString* longer = nullptr;
        if (!table.lookup(c.unicode(), &unit, &longer))
            return fold_text_by_icu(text);
        if (!longer) {
            if (length == out.size()) {
                out.resize(length + 16);
                at = reinterpret_cast<char16_t*>(out.data());
            }
            at[length++] = unit;
            continue;
        }
        if (length + longer->size() > out.size()) {
            out.resize(length + longer->size() + 16);
            at = reinterpret_cast<char16_t*>(out.data());
        }
        std::copy(longer->utf16(), longer->utf16() + longer->size(), at + length);
        length += longer->size();
    }
    out.truncate(length);
    return out;
}

QString cut_for_index(QString folded) {
    if (folded.size() > kFoldedReadingLength) {
        int cut = kFoldedReadingLength;
        if (folded.at(cut - 1).isHighSurrogate())
            --cut;
        folded.truncate(cut);
    }
    return folded;
}

QString folded_reading(const QString& reading) {
    return cut_for_index(fold_text(reading));
}

QString phone_digits_of_folded(const QString& folded) {
    QString digits = folded;
    digits.removeIf([](QChar c) { return c < QLatin1Char('0') || c > QLatin1Char('9'); });
    return digits;
}

QString folded_phone_digits(const QString& text) {
    return phone_digits_of_folded(fold_text(text));
}

QString search_text(const QStringList& folded_parts) {
    QString text;
    for (const QString& part : folded_parts) {
        QString line = part;
        // Line breaks typed into a field would join two fields' ends into a false match.
        line.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
        text += line;
        text += QLatin1Char('\n');
    }
    return text;
}

QStringList partial_search_terms(const QString& typed) {
    // Line breaks are blanks in the searched text too.
    QString folded = fold_text(typed);
    folded.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    folded = folded.trimmed();
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
