#include "db/text_index.h"

#include <QHash>
#include <algorithm>
#include <array>
#include <map>
#include <vector>

#include "db/database.h"

namespace {

// Keys are kept in blocks of 512: a piece common to most texts then reads as one row per block, and
// a row stays small enough to be rewritten at every save.
constexpr int kBlockBits = 9;
constexpr int kBlockSize = 1 << kBlockBits;
// How many values or rows one statement carries.
constexpr int kChunk = 400;

// Numbers in the occurrences are written in base 64, most significant digit first. The digits avoid
// the quote, the backslash and the separators ; : , of the format.
const char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz-_";

void put_number(QByteArray& out, quint32 n) {
    char buffer[8];
    int length = 0;
    do {
        buffer[length++] = kDigits[n & 63];
        n >>= 6;
    } while (n != 0);
    while (length > 0)
        out += buffer[--length];
}

struct DigitValues {
    std::array<int, 128> of{};
    DigitValues() {
        for (int i = 0; i < 64; ++i)
            of[size_t(uchar(kDigits[i]))] = i;
    }
};

int digit_value(char16_t c) {
    static const DigitValues values;
    return c < 128 ? values.of[c] : 0;
}

// A piece as the index keys it: the UTF-8 bytes of two characters.
using Piece = QByteArray;
// Each piece of a text with its positions (in characters), ascending.
using TextPieces = std::map<Piece, std::vector<int>>;

QByteArray utf8_of(const char32_t* characters, int count) {
    return QString::fromUcs4(characters, count).toUtf8();
}

// Every two neighbouring characters of the text, except those starting with a line break: no term
// holds a line break, and a piece ending with one still lets a single character at a line's end be found.
TextPieces pieces_of(const QString& text) {
    TextPieces pieces;
    const QList<uint> cs = QStringView(text).toUcs4();
    for (qsizetype p = 0; p + 1 < cs.size(); ++p) {
        if (cs.at(p) == '\n')
            continue;
        const char32_t two[2] = {cs.at(p), cs.at(p + 1)};
        pieces[utf8_of(two, 2)].push_back(int(p));
    }
    return pieces;
}

// One key's occurrences of a piece: "offset:position,position;".
QByteArray entry(qint64 key, const std::vector<int>& positions) {
    QByteArray out;
    put_number(out, quint32(key & (kBlockSize - 1)));
    out += ':';
    for (size_t i = 0; i < positions.size(); ++i) {
        if (i > 0)
            out += ',';
        put_number(out, quint32(positions[i]));
    }
    out += ';';
    return out;
}

QString hex_literal(const QByteArray& bytes) {
    return QStringLiteral("X'") + QString::fromLatin1(bytes.toHex()) + QLatin1Char('\'');
}

QString ascii_literal(const QByteArray& text) {
    // The format's characters need no escaping.
    return QLatin1Char('\'') + QString::fromLatin1(text) + QLatin1Char('\'');
}

QString key_list(const QVector<qint64>& keys, qsizetype from, qsizetype count) {
    QStringList out;
    for (qsizetype i = from; i < from + count && i < keys.size(); ++i)
        out << QString::number(keys.at(i));
    return out.join(QLatin1Char(','));
}

QHash<qint64, QString> texts_of(Database& db, const QString& statement, const QVector<qint64>& keys) {
    QHash<qint64, QString> out;
    for (qsizetype i = 0; i < keys.size(); i += kChunk) {
        const ResultTable rows = db.query_rows(statement.arg(key_list(keys, i, kChunk)), 2);
        for (int r = 1; r <= rows.row_count(); ++r)
            out.insert(rows(0, r).toLongLong(), rows(1, r));
    }
    return out;
}

// Runs the rows as "insert … values row,row … tail" statements of at most kChunk rows each.
void insert_in_chunks(Database& db, const QString& head, const QStringList& rows, const QString& tail) {
    for (qsizetype i = 0; i < rows.size(); i += kChunk)
        db.execute_sql(head + rows.mid(i, kChunk).join(QLatin1Char(',')) + tail);
}

// What a block holds for one piece, parsed: for each offset in the block, its positions.
struct BlockPiece {
    std::array<std::pair<int, int>, kBlockSize> spans;  // start and count in positions
    std::vector<int> positions;

    void parse(QStringView text, bool with_positions) {
        spans.fill({0, 0});
        positions.clear();
        qsizetype i = 0;
        const qsizetype n = text.size();
        while (i < n) {
            if (text[i] == u';') {
                ++i;
                continue;
            }
            int offset = 0;
            while (i < n && text[i] != u':')
                offset = offset * 64 + digit_value(text[i++].unicode());
            ++i;  // ':'
            const int start = int(positions.size());
            int value = 0;
            while (i < n && text[i] != u';') {
                const char16_t c = text[i++].unicode();
                if (c == u',') {
                    if (with_positions)
                        positions.push_back(value);
                    value = 0;
                } else {
                    value = value * 64 + digit_value(c);
                }
            }
            if (with_positions)
                positions.push_back(value);
            if (offset >= 0 && offset < kBlockSize)
                spans[size_t(offset)] = {start, with_positions ? int(positions.size()) - start : 1};
        }
    }
    bool has(int offset) const { return spans[size_t(offset)].second > 0; }
    bool holds(int offset, int position) const {
        const auto [start, count] = spans[size_t(offset)];
        const auto first = positions.begin() + start;
        return std::binary_search(first, first + count, position);
    }
};

// The pieces a term is found by and where in the term each stands: every other piece, and the last.
std::vector<std::pair<Piece, int>> cover_of(const QList<uint>& term) {
    std::vector<std::pair<Piece, int>> cover;
    const int length = int(term.size());
    auto add = [&](int at) {
        const char32_t two[2] = {term.at(at), term.at(at + 1)};
        cover.emplace_back(utf8_of(two, 2), at);
    };
    for (int at = 0; at + 2 <= length; at += 2)
        add(at);
    if (length % 2 == 1)
        add(length - 2);
    return cover;
}

}  // namespace

bool has_text_index(Dialect dialect) {
    return dialect == Dialect::MySql;
}

QStringList text_index_statements(const TextIndex& index, Dialect dialect) {
    if (!has_text_index(dialect))
        return {};
    return {QStringLiteral("create table %1 (片 varbinary(8) not null, 区画 int not null, "
                           "出現 mediumtext character set ascii collate ascii_bin not null, "
                           "primary key (片, 区画))")
                .arg(index.pieces),
            QStringLiteral("create table %1 (%2 int not null primary key, 文字列 mediumtext not null) "
                           "default charset=utf8mb4 collate=utf8mb4_bin")
                .arg(index.indexed, index.key)};
}

void update_text_index(Database& db, const TextIndex& index, const QVector<qint64>& keys) {
    if (!has_text_index(db.dialect()) || keys.isEmpty())
        return;
    // Locking reads give the texts as last committed, whatever this transaction read before, and hold
    // them until it ends: two PCs changing one customer take turns. The keys the index holds are asked
    // for first with a plain read, so that no locking read lands on a missing key: the gap lock it
    // would take makes two PCs adding customers side by side wait for each other for ever.
    QVector<qint64> held;
    for (const qint64 key : texts_of(db,
                                     QStringLiteral("select %1,'' from %2 where %1 in (%3)")
                                         .arg(index.key, index.indexed, QStringLiteral("%1")),
                                     keys)
                                .keys())
        held << key;
    const QHash<qint64, QString> before =
        texts_of(db,
                 QStringLiteral("select %1,文字列 from %2 where %1 in (%3) for update")
                     .arg(index.key, index.indexed, QStringLiteral("%1")),
                 held);
    const QHash<qint64, QString> now =
        texts_of(db,
                 QStringLiteral("select %1,coalesce(%2,'') from %3 where %1 in (%4) for update")
                     .arg(index.key, index.column, index.table, QStringLiteral("%1")),
                 keys);

    // What leaves and what enters each piece's row of each block.
    std::map<qint64, std::map<Piece, QList<QByteArray>>> leaving;
    std::map<std::pair<Piece, qint64>, QByteArray> entering;
    QVector<qint64> gone;
    QStringList changed, added;  // rows of the table of indexed texts
    for (const qint64 key : keys) {
        const auto old_text = before.constFind(key);
        const auto new_text = now.constFind(key);
        const bool had = old_text != before.constEnd();
        const bool has = new_text != now.constEnd() && !new_text->isEmpty();
        if (had == has && (!had || *old_text == *new_text))
            continue;
        const TextPieces old_pieces = had ? pieces_of(*old_text) : TextPieces();
        const TextPieces new_pieces = has ? pieces_of(*new_text) : TextPieces();
        const qint64 block = key >> kBlockBits;
        for (const auto& [piece, positions] : old_pieces) {
            const auto same = new_pieces.find(piece);
            if (same == new_pieces.end() || same->second != positions)
                leaving[block][piece] << entry(key, positions);
        }
        for (const auto& [piece, positions] : new_pieces) {
            const auto same = old_pieces.find(piece);
            if (same == old_pieces.end() || same->second != positions)
                entering[{piece, block}] += entry(key, positions);
        }
        if (!has)
            gone << key;
        else
            (had ? changed : added) << QStringLiteral("(%1,%2)").arg(key).arg(sql_text(*new_text));
    }

    for (const auto& [block, pieces] : leaving) {
        QStringList cases, listed;
        for (const auto& [piece, entries] : pieces) {
            // Each entry sits between two separators: replacing it with one takes out exactly it.
            QString value = QStringLiteral("出現");
            for (const QByteArray& e : entries)
                value = QStringLiteral("replace(%1,%2,';')").arg(value, ascii_literal(';' + e));
            cases << QStringLiteral("when %1 then %2").arg(hex_literal(piece), value);
            listed << hex_literal(piece);
        }
        for (qsizetype i = 0; i < cases.size(); i += kChunk) {
            const QString in = listed.mid(i, kChunk).join(QLatin1Char(','));
            db.execute_sql(
                QStringLiteral("update %1 set 出現=case 片 %2 else 出現 end where 区画=%3 and 片 in (%4)")
                    .arg(index.pieces, cases.mid(i, kChunk).join(QLatin1Char(' ')))
                    .arg(block)
                    .arg(in));
            db.execute_sql(QStringLiteral("delete from %1 where 区画=%2 and 片 in (%3) and 出現=';'")
                               .arg(index.pieces)
                               .arg(block)
                               .arg(in));
        }
    }
    QStringList rows;
    for (const auto& [where, entries] : entering)
        rows << QStringLiteral("(%1,%2,%3)")
                    .arg(hex_literal(where.first))
                    .arg(where.second)
                    .arg(ascii_literal(';' + entries));
    insert_in_chunks(db, QStringLiteral("insert into %1 (片,区画,出現) values ").arg(index.pieces), rows,
                     QStringLiteral(" on duplicate key update 出現=concat(出現,substring(values(出現),2))"));

    for (qsizetype i = 0; i < gone.size(); i += kChunk)
        db.execute_sql(QStringLiteral("delete from %1 where %2 in (%3)")
                           .arg(index.indexed, index.key, key_list(gone, i, kChunk)));
    // A key another PC added meanwhile makes the plain insert fail, and this transaction with it,
    // rather than take its pieces in twice.
    insert_in_chunks(db, QStringLiteral("insert into %1 (%2,文字列) values ").arg(index.indexed, index.key),
                     changed, QStringLiteral(" on duplicate key update 文字列=values(文字列)"));
    insert_in_chunks(db, QStringLiteral("insert into %1 (%2,文字列) values ").arg(index.indexed, index.key),
                     added, QString());
}

int repair_text_index(Database& db, const TextIndex& index) {
    if (!has_text_index(db.dialect()))
        return 0;
    // Counts and sums of the keys on both sides agree whenever the index is in step; checking them
    // costs two reads of a key index, far less than comparing row by row.
    const QString tally = QStringLiteral("select count(*),coalesce(sum(%1),0) from %2%3");
    const ResultTable rows = db.query_rows(
        tally.arg(index.key, index.table, QStringLiteral(" where %1 is not null").arg(index.column)), 2);
    const ResultTable indexed = db.query_rows(tally.arg(index.key, index.indexed, QString()), 2);
    if (rows(0, 1) == indexed(0, 1) && rows(1, 1) == indexed(1, 1))
        return 0;
    QVector<qint64> keys;
    const ResultTable missing = db.query_rows(
        QStringLiteral(
            "select t.%1 from %2 t left join %3 i on i.%1=t.%1 where t.%4 is not null and i.%1 is null")
            .arg(index.key, index.table, index.indexed, index.column),
        1);
    for (int r = 1; r <= missing.row_count(); ++r)
        keys << missing(0, r).toLongLong();
    const ResultTable left =
        db.query_rows(QStringLiteral("select i.%1 from %3 i left join %2 t on t.%1=i.%1 where t.%4 is null")
                          .arg(index.key, index.table, index.indexed, index.column),
                      1);
    for (int r = 1; r <= left.row_count(); ++r)
        keys << left(0, r).toLongLong();
    update_text_index(db, index, keys);
    return int(keys.size());
}

QVector<qint64> search_text_index(Database& db, const TextIndex& index, const QStringList& terms) {
    struct Term {
        Piece first;                            // a single character's bytes
        std::vector<Piece> pieces;              // the cover's distinct pieces
        std::vector<std::pair<int, int>> uses;  // (which piece, where in the term), the lead first
    };
    std::vector<Term> wanted;
    QStringList conditions;
    for (const QString& t : terms) {
        const QList<uint> cs = QStringView(t).toUcs4();
        if (cs.isEmpty())
            continue;
        Term term;
        if (cs.size() == 1) {
            // Every piece starting with the character: its bytes up to those bytes with the last one raised.
            term.first = QString::fromUcs4(reinterpret_cast<const char32_t*>(cs.constData()), 1).toUtf8();
            QByteArray after = term.first;
            after[after.size() - 1] = char(uchar(after.back()) + 1);
            conditions
                << QStringLiteral("(片>=%1 and 片<%2)").arg(hex_literal(term.first), hex_literal(after));
        } else {
            for (const auto& [piece, at] : cover_of(cs)) {
                auto known = std::find(term.pieces.begin(), term.pieces.end(), piece);
                if (known == term.pieces.end()) {
                    term.pieces.push_back(piece);
                    known = term.pieces.end() - 1;
                    conditions << QStringLiteral("片=%1").arg(hex_literal(piece));
                }
                term.uses.emplace_back(int(known - term.pieces.begin()), at);
            }
        }
        wanted.push_back(std::move(term));
    }
    if (wanted.empty())
        return {};
    conditions.removeDuplicates();
    const ResultTable rows = db.query_rows(QStringLiteral("select hex(片),区画,出現 from %1 where %2")
                                               .arg(index.pieces, conditions.join(QStringLiteral(" or "))),
                                           3);
    // block → piece → the row's occurrences
    std::map<qint64, std::map<Piece, QString>> blocks;
    for (int r = 1; r <= rows.row_count(); ++r)
        blocks[rows(1, r).toLongLong()][QByteArray::fromHex(rows(0, r).toLatin1())] = rows(2, r);

    std::vector<qint64> found;
    std::vector<BlockPiece> parsed;
    for (const auto& [block, pieces] : blocks) {
        const qint64 base = block << kBlockBits;
        for (const Term& term : wanted) {
            if (term.pieces.empty()) {
                parsed.resize(std::max<size_t>(parsed.size(), 1));
                for (const auto& [piece, text] : pieces) {
                    if (!piece.startsWith(term.first))
                        continue;
                    parsed[0].parse(text, false);
                    for (int offset = 0; offset < kBlockSize; ++offset)
                        if (parsed[0].has(offset))
                            found.push_back(base + offset);
                }
                continue;
            }
            // A block lacking any piece of the term holds it for no key.
            bool present = true;
            parsed.resize(std::max(parsed.size(), term.pieces.size()));
            for (size_t i = 0; i < term.pieces.size() && present; ++i) {
                const auto it = pieces.find(term.pieces[i]);
                present = it != pieces.end();
                if (present)
                    parsed[i].parse(it->second, true);
            }
            if (!present)
                continue;
            const BlockPiece& lead = parsed[size_t(term.uses.front().first)];
            for (int offset = 0; offset < kBlockSize; ++offset) {
                if (!lead.has(offset))
                    continue;
                const auto [start, count] = lead.spans[size_t(offset)];
                bool matched = false;
                for (int k = start; k < start + count && !matched; ++k) {
                    const int p = lead.positions[size_t(k)];
                    matched = std::all_of(term.uses.begin() + 1, term.uses.end(), [&](const auto& use) {
                        const BlockPiece& other = parsed[size_t(use.first)];
                        return other.has(offset) && other.holds(offset, p + use.second);
                    });
                }
                if (matched)
                    found.push_back(base + offset);
            }
        }
    }
    // Blocks and offsets come in ascending order: only several terms, or the pieces of one character,
    // need sorting together.
    if (wanted.size() > 1 || wanted.front().pieces.empty()) {
        std::sort(found.begin(), found.end());
        found.erase(std::unique(found.begin(), found.end()), found.end());
    }
    return QVector<qint64>(found.begin(), found.end());
}
