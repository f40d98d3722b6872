#include "customers/duplicates.h"

#include <QSet>
#include <algorithm>

#include "customers/customer_copies.h"
#include "db/database.h"
#include "db/text_fold.h"

namespace {

struct Keys {
    QString name;
    QStringList phones;  // in field order, each once
    QString mail;
};

Keys keys_of(const QStringList& fields) {
    Keys keys{name_key(fields.value(0)), {}, mail_key(fields.value(9))};
    for (int i : {6, 7, 8}) {
        const QString phone = phone_key(fields.value(i));
        if (!phone.isEmpty() && !keys.phones.contains(phone))
            keys.phones << phone;
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

const QString kKeySelect =
    QStringLiteral("select 顧客ID,顧客名,照合名,照合電話1,照合電話2,照合電話3,照合メール from 顧客 where ");

QString in_list(const QStringList& values) {
    QStringList quoted;
    for (const QString& v : values)
        quoted << sql_text(v);
    return quoted.join(QLatin1Char(','));
}

// A stored customer as its keys read back (NULL reads as "-", never a key).
struct Stored {
    qint64 id = 0;
    QString name;
    Keys keys;
};

QVector<Stored> stored_rows(const ResultTable& rows) {
    QVector<Stored> out;
    out.reserve(rows.row_count());
    auto key = [](const QString& v) { return v == QLatin1String("-") ? QString() : v; };
    for (int r = 1; r <= rows.row_count(); ++r) {
        Stored s;
        s.id = rows(0, r).toLongLong();
        s.name = rows(1, r);
        s.keys.name = key(rows(2, r));
        for (int c = 3; c <= 5; ++c)
            if (!key(rows(c, r)).isEmpty() && !s.keys.phones.contains(rows(c, r)))
                s.keys.phones << rows(c, r);
        s.keys.mail = key(rows(6, r));
        out << s;
    }
    return out;
}

// The customers of a file and the stored ones, by their keys: the first entry holding a key wins.
class MatchIndex {
public:
    void add(const QString& id, const QString& name, int record, const Keys& keys) {
        const int at = int(m_entries.size());
        m_entries.push_back({id, name, record});
        if (!keys.name.isEmpty() && !m_names.contains(keys.name))
            m_names.insert(keys.name, at);
        for (const QString& p : keys.phones)
            if (!m_phones.contains(p))
                m_phones.insert(p, at);
        if (!keys.mail.isEmpty() && !m_mails.contains(keys.mail))
            m_mails.insert(keys.mail, at);
    }
    std::optional<DuplicateMatch> find(const Keys& keys) const {
        auto match = [&](DuplicateField field, int at) {
            const Entry& e = m_entries.at(at);
            return DuplicateMatch{field, e.id, e.name, e.record};
        };
        if (const auto it = m_names.constFind(keys.name); !keys.name.isEmpty() && it != m_names.constEnd())
            return match(DuplicateField::Name, *it);
        for (const QString& p : keys.phones)
            if (const auto it = m_phones.constFind(p); it != m_phones.constEnd())
                return match(DuplicateField::Phone, *it);
        if (const auto it = m_mails.constFind(keys.mail); !keys.mail.isEmpty() && it != m_mails.constEnd())
            return match(DuplicateField::Mail, *it);
        return std::nullopt;
    }

private:
    struct Entry {
        QString id;
        QString name;
        int record;
    };
    QVector<Entry> m_entries;
    QHash<QString, int> m_names, m_phones, m_mails;
};

// Customers written by another program or an older copy since the last start wait for their keys
// (their stamp is empty): their keys are made from their fields here.
QVector<Stored> waiting_rows(Database& db) {
    const ResultTable rows = db.query_rows(
        QStringLiteral(
            "select 顧客ID,coalesce(顧客名,''),coalesce(TEL,''),coalesce(FAX,''),coalesce(携帯,''),"
            "coalesce(Email,'') from 顧客 where 写し印 is null"),
        6);
    QVector<Stored> out;
    for (int r = 1; r <= rows.row_count(); ++r) {
        QStringList fields(10);
        fields[0] = rows(1, r);
        fields[6] = rows(2, r);
        fields[7] = rows(3, r);
        fields[8] = rows(4, r);
        fields[9] = rows(5, r);
        out.push_back({rows(0, r).toLongLong(), rows(1, r), keys_of(fields)});
    }
    return out;
}

}  // namespace

QString fold_for_match(const QString& text) {
    QString out = fold_text(text);
    out.removeIf([](QChar c) { return c.isSpace(); });
    return out;
}

QString phone_digits(const QString& text) {
    return folded_phone_digits(text);
}

std::optional<DuplicateMatch> find_duplicate_customer(Database& db, const QStringList& fields,
                                                      const QString& own_id) {
    // A few look-ups in the indexes of the keys, one select for all.
    const Keys keys = keys_of(fields);
    QStringList parts;
    if (!keys.name.isEmpty())
        parts << kKeySelect + QStringLiteral("照合名=") + sql_text(keys.name);
    if (!keys.phones.isEmpty())
        for (const char* column : {"照合電話1", "照合電話2", "照合電話3"})
            parts << kKeySelect + QString::fromUtf8(column) + QStringLiteral(" in (") + in_list(keys.phones) +
                         QLatin1Char(')');
    if (!keys.mail.isEmpty())
        parts << kKeySelect + QStringLiteral("照合メール=") + sql_text(keys.mail);
    if (parts.isEmpty())
        return std::nullopt;
    bool numeric = false;
    const qint64 own = own_id.trimmed().toLongLong(&numeric);
    QVector<Stored> found = stored_rows(db.query_rows(parts.join(QStringLiteral(" union all ")), 7));
    found += waiting_rows(db);
    if (numeric)
        found.removeIf([own](const Stored& s) { return s.id == own; });
    // The earliest customer first, as the register lists them.
    std::sort(found.begin(), found.end(), [](const Stored& a, const Stored& b) { return a.id < b.id; });
    MatchIndex index;
    for (const Stored& s : found)
        index.add(QString::number(s.id), s.name, 0, s.keys);
    return index.find(keys);
}

QString duplicate_question(const DuplicateMatch& match) {
    return QStringLiteral("同じ%1の顧客がすでに登録されています（%2）。登録しますか？")
        .arg(field_caption(match.field), match.customer_name);
}

QVector<ImportDuplicate> find_import_duplicates(Database& db, const QVector<QStringList>& records) {
    QVector<Keys> keys;
    keys.reserve(records.size());
    QSet<QString> names, phones, mails;
    for (const QStringList& r : records) {
        keys << keys_of(r);
        if (!keys.last().name.isEmpty())
            names << keys.last().name;
        for (const QString& p : keys.last().phones)
            phones << p;
        if (!keys.last().mail.isEmpty())
            mails << keys.last().mail;
    }
    // The stored customers sharing a key with the file: looked up by the keys a few hundred at a time,
    // or, for a file about as large as the register, read in one pass.
    const qint64 stored_count =
        db.query_rows(QStringLiteral("select count(*) from 顧客"), 1)(0, 1).toLongLong();
    const qsizetype wanted = names.size() + phones.size() + mails.size();
    QVector<Stored> stored;
    if (wanted * 4 >= stored_count) {
        stored = stored_rows(db.query_rows(kKeySelect + QStringLiteral("1=1"), 7));
    } else {
        auto look_up = [&](const QSet<QString>& set, const QStringList& columns) {
            const QStringList values(set.begin(), set.end());
            for (qsizetype i = 0; i < values.size(); i += 400) {
                const QString in = in_list(values.mid(i, 400));
                QStringList parts;
                for (const QString& c : columns)
                    parts << kKeySelect + c + QStringLiteral(" in (") + in + QLatin1Char(')');
                stored += stored_rows(db.query_rows(parts.join(QStringLiteral(" union all ")), 7));
            }
        };
        look_up(names, {QStringLiteral("照合名")});
        look_up(phones,
                {QStringLiteral("照合電話1"), QStringLiteral("照合電話2"), QStringLiteral("照合電話3")});
        look_up(mails, {QStringLiteral("照合メール")});
    }
    stored += waiting_rows(db);
    std::sort(stored.begin(), stored.end(), [](const Stored& a, const Stored& b) { return a.id < b.id; });
    MatchIndex index;
    for (const Stored& s : stored)
        index.add(QString::number(s.id), s.name, 0, s.keys);
    QVector<ImportDuplicate> out;
    for (int i = 0; i < records.size(); ++i) {
        if (const std::optional<DuplicateMatch> m = index.find(keys.at(i)))
            out.push_back({i + 1, records.at(i).value(0), *m});
        index.add(QString(), records.at(i).value(0), i + 1, keys.at(i));
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
