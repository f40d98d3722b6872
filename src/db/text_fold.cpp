#include "db/text_fold.h"

#include <unicode/normalizer2.h>
#include <unicode/translit.h>
#include <unicode/unistr.h>
#include <unicode/utypes.h>

#include <QHash>
#include <algorithm>
#include <memory>
#include <optional>
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
//
// One more kind: a character whose fold depends on the character before it and on nothing else, as
// ICU turns the prolonged sound mark ー into the vowel before it (アー → ああ, ンー → んー). ICU tells
// which ones they are: the character's fold after a few kana and letters differs from its fold alone.
// Their folds are kept per character before them, again as ICU gives them.
class FoldTable {
public:
    enum class Kind { Table, AfterPrevious, WithNeighbours };

    // The fold of c: a single unit (the common case) in *unit, or a text of any other length in *text.
    Kind lookup(char16_t c, char16_t* unit, const QString** text) {
        int& slot = m_index[c];
        if (slot == kUnknown)
            slot = learn(c);
        if (slot == kWithNeighbours)
            return Kind::WithNeighbours;
        if (slot == kAfterPrevious)
            return Kind::AfterPrevious;
        if (slot >= kUnitBase) {
            *unit = char16_t(slot - kUnitBase);
            *text = nullptr;
        } else {
            *text = &m_folds[size_t(slot)];
        }
        return Kind::Table;
    }

    // What a run of characters of the kind AfterPrevious folds to after the character before (0 at the
    // start of a text); nothing when ICU changes the character before too.
    std::optional<QString> after(char16_t before, QStringView run) {
        const QString key = QString(QChar(before)) + run.toString();
        const auto known = m_after.constFind(key);
        if (known != m_after.constEnd())
            return *known;
        std::optional<QString> folded;
        if (before == 0) {
            folded = fold_text_by_icu(run.toString());
        } else {
            const QString whole = fold_text_by_icu(key);
            const QString alone = fold_text_by_icu(QString(QChar(before)));
            if (whole.startsWith(alone))
                folded = whole.mid(alone.size());
        }
        if (m_after.size() < 10000)
            m_after.insert(key, folded);
        return folded;
    }

private:
    static constexpr int kUnknown = -3;
    static constexpr int kAfterPrevious = -2;
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
        const QString alone = QString(QChar(c));
        const QString folded = fold_text_by_icu(alone);
        if (!folded.isEmpty() && !apart(QStringView(folded).toUcs4().value(0)))
            return kWithNeighbours;
        for (const char16_t before : {u'ア', u'あ', u'ン', u'ッ', u'ｱ', u'a', u'1', u'山'}) {
            const QString b(QChar{before});
            if (fold_text_by_icu(b + alone) != fold_text_by_icu(b) + folded)
                return kAfterPrevious;
        }
        if (folded.size() == 1)
            return kUnitBase + folded.at(0).unicode();
        m_folds.push_back(folded);
        return int(m_folds.size() - 1);
    }

    std::vector<int> m_index = std::vector<int>(0x10000, kUnknown);
    std::vector<QString> m_folds;
    QHash<QString, std::optional<QString>> m_after;
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
    qsizetype length = 0;
    auto append = [&](const char16_t* from, qsizetype n) {
        if (length + n > out.size())
            out.resize(length + n + 16);
        std::copy(from, from + n, reinterpret_cast<char16_t*>(out.data()) + length);
        length += n;
    };
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        char16_t unit = 0;
        const QString* longer = nullptr;
        switch (table.lookup(text.at(i).unicode(), &unit, &longer)) {
            case FoldTable::Kind::WithNeighbours:
                return fold_text_by_icu(text);
            case FoldTable::Kind::Table:
                if (longer)
                    append(reinterpret_cast<const char16_t*>(longer->utf16()), longer->size());
                else
                    append(&unit, 1);
                break;
            case FoldTable::Kind::AfterPrevious: {
                qsizetype end = i + 1;
                while (end < size &&
                       table.lookup(text.at(end).unicode(), &unit, &longer) == FoldTable::Kind::AfterPrevious)
                    ++end;
                const std::optional<QString> folded =
                    table.after(i > 0 ? text.at(i - 1).unicode() : 0, QStringView(text).mid(i, end - i));
                if (!folded)
                    return fold_text_by_icu(text);
                append(reinterpret_cast<const char16_t*>(folded->utf16()), folded->size());
                i = end - 1;
                break;
            }
        }
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
