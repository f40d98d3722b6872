#include "customers/duplicates.h"

#include <memory>
#include <mutex>

#include "db/database.h"
#include "db/text_fold.h"

namespace {

// The same folding as the searches (width, kana, voiced marks, case), blanks removed.
QString fold_uncached(const QString& text) {
    QString out = fold_text(text);
    out.removeIf([](QChar c) { return c.isSpace(); });
    return out;
}

// NULL reads as "-": it is no value to compare.
QString present(const QString& text) {
    return text == QLatin1String("-") ? QString() : text;
}

QString mail_key(const QString& text) {
    const QString t = present(text).trimmed();
    return t.contains(QLatin1Char('@')) ? t.toCaseFolded() : QString();
}

QStringList phone_keys(const QStringList& fields) {
    QStringList keys;
    for (int i : {6, 7, 8}) {
        const QString digits = phone_digits(present(fields.value(i)));
        // A few digits are no phone number (an extension, a typing slip).
        if (digits.size() >= 6 && !keys.contains(digits))
            keys << digits;
    }
    return keys;
}

QString field_caption(DuplicateField field) {
    switch (field) {
        case DuplicateField::Name:
            return QStringLiteral("顧客名");
        case DuplicateField::Phone:
            return QStringLiteral("電話番号");
        case DuplicateField::Mail:
            return QStringLiteral("メールアドレス");
    }
    return QString();
}

}  // namespace

QString fold_for_match(const QString& text) {
    // Every save compares against every stored name: the names folded once are kept for the run.
    static QHash<QString, QString> cache;
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    const auto it = cache.constFind(text);
    if (it != cache.constEnd())
        return *it;
    if (cache.size() > 500000)
        cache.clear();
    const QString folded = fold_uncached(text);
    cache.insert(text, folded);
    return folded;
}

QString phone_digits(const QString& text) {
    return folded_phone_digits(text);
}

CustomerMatchIndex CustomerMatchIndex::load(Database& db) {
    const ResultTable rows =
        db.query_rows(QStringLiteral("select 顧客ID,顧客名,TEL,FAX,携帯,Email from 顧客"), 6);
    CustomerMatchIndex index;
    index.m_entries.reserve(rows.row_count());
    for (int r = 1; r <= rows.row_count(); ++r) {
        QStringList fields(10);
        fields[0] = rows(1, r);
        fields[6] = rows(2, r);
        fields[7] = rows(3, r);
        fields[8] = rows(4, r);
        fields[9] = rows(5, r);
        index.add(rows(0, r), fields);
    }
    return index;
}

void CustomerMatchIndex::add(const QString& id, const QStringList& fields, int record) {
    const int at = int(m_entries.size());
    m_entries.push_back({id, fields.value(0), record});
    const QString name = fold_for_match(present(fields.value(0)));
    if (!name.isEmpty())
        m_names.insert(name, at);
    for (const QString& phone : phone_keys(fields))
        m_phones.insert(phone, at);
    const QString mail = mail_key(fields.value(9));
    if (!mail.isEmpty())
        m_mails.insert(mail, at);
}

std::optional<DuplicateMatch> CustomerMatchIndex::find(const QStringList& fields,
                                                       const QString& except_id) const {
    auto first = [&](const QMultiHash<QString, int>& hash, const QString& key) -> const Entry* {
        if (key.isEmpty())
            return nullptr;
        const Entry* best = nullptr;
        // The earliest entry wins, whatever order the hash keeps.
        for (auto it = hash.constFind(key); it != hash.constEnd() && it.key() == key; ++it) {
            const Entry& e = m_entries.at(*it);
            if (!except_id.isEmpty() && e.id == except_id)
                continue;
            if (!best || &e < best)
                best = &e;
        }
        return best;
    };
    auto match = [](DuplicateField field, const Entry* e) {
        return DuplicateMatch{field, e->id, e->name, e->record};
    };
    if (const Entry* e = first(m_names, fold_for_match(present(fields.value(0)))))
        return match(DuplicateField::Name, e);
    for (const QString& phone : phone_keys(fields))
        if (const Entry* e = first(m_phones, phone))
            return match(DuplicateField::Phone, e);
    if (const Entry* e = first(m_mails, mail_key(fields.value(9))))
        return match(DuplicateField::Mail, e);
    return std::nullopt;
}

std::optional<DuplicateMatch> find_duplicate_customer(Database& db, const QStringList& fields,
                                                      const QString& own_id) {
    // One pass over the stored customers, comparing as it reads: no index is built for one save.
    const QString name = fold_for_match(present(fields.value(0)));
    const QStringList phones = phone_keys(fields);
    const QString mail = mail_key(fields.value(9));
    const ResultTable rows =
        db.query_rows(QStringLiteral("select 顧客ID,顧客名,TEL,FAX,携帯,Email from 顧客"), 6);
    int found[3] = {0, 0, 0};  // first row sharing the name, a phone, the mail
    for (int r = 1; r <= rows.row_count() && found[0] == 0; ++r) {
        if (rows(0, r) == own_id.trimmed())
            continue;
        if (!name.isEmpty() && fold_for_match(present(rows(1, r))) == name)
            found[0] = r;
        for (int c = 2; c <= 4 && found[1] == 0 && !phones.isEmpty(); ++c)
            if (phones.contains(phone_digits(present(rows(c, r)))))
                found[1] = r;
        if (found[2] == 0 && !mail.isEmpty() && mail_key(rows(5, r)) == mail)
            found[2] = r;
    }
    const DuplicateField kinds[3] = {DuplicateField::Name, DuplicateField::Phone, DuplicateField::Mail};
    for (int k = 0; k < 3; ++k)
        if (found[k] > 0)
            return DuplicateMatch{kinds[k], rows(0, found[k]), rows(1, found[k]), 0};
    return std::nullopt;
}

QString duplicate_question(const DuplicateMatch& match) {
    return QStringLiteral("同じ%1の顧客がすでに登録されています（%2）。登録しますか？")
        .arg(field_caption(match.field), match.customer_name);
}

QVector<ImportDuplicate> find_import_duplicates(Database& db, const QVector<QStringList>& records) {
    CustomerMatchIndex index = CustomerMatchIndex::load(db);
    QVector<ImportDuplicate> out;
    for (int i = 0; i < records.size(); ++i) {
        const QStringList& r = records.at(i);
        if (const std::optional<DuplicateMatch> m = index.find(r))
            out.push_back({i + 1, r.value(0), *m});
        index.add(QString(), r, i + 1);
    }
    return out;
}

QString import_duplicates_question(const QVector<ImportDuplicate>& duplicates) {
    QStringList lines;
    const int shown = 20;
    for (int i = 0; i < duplicates.size() && i < shown; ++i) {
        const ImportDuplicate& d = duplicates.at(i);
        const QString where =
            d.match.record > 0
                ? QStringLiteral("ファイルの %1 件目（%2）").arg(d.match.record).arg(d.match.customer_name)
                : QStringLiteral("登録済みの顧客（%1）").arg(d.match.customer_name);
        lines << QStringLiteral("%1 件目 %2：%3と%4が同じ")
                     .arg(QString::number(d.record), d.name, where, field_caption(d.match.field));
    }
    if (duplicates.size() > shown)
        lines << QStringLiteral("ほか %1 件").arg(duplicates.size() - shown);
    return QStringLiteral(
               "すでに登録されている顧客と重複する可能性があるデータが %1 件あります。\n%2\n\n"
               "これらを読み込まずに飛ばしますか？（「いいえ」ですべて読み込みます）")
        .arg(QString::number(duplicates.size()), lines.join(QLatin1Char('\n')));
}
