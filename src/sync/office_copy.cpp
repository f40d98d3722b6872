#include "sync/office_copy.h"

#include <cmath>
#include <map>

#include "db/database.h"

namespace {

constexpr int kChunkRows = 5000;     // office rows read at a time
constexpr int kInsertRows = 200;     // rows per insert statement on the laptop
constexpr qint64 kLineRange = 5000;  // unkeyed rows: parent keys per piece

QString ident(const QString& name) {
    return QLatin1Char('[') + name + QLatin1Char(']');
}

// Writes the laptop's side of one table: inserts gathered into statements of many rows.
class LaptopWriter {
public:
    LaptopWriter(Database& laptop, const TableShape& shape) : m_laptop(laptop), m_shape(shape) {
        QStringList columns;
        for (const QString& c : shape.columns)
            columns << ident(c);
        m_head = QStringLiteral("insert into %1 (%2) values")
                     .arg(ident(shape.name), columns.join(QLatin1Char(',')));
    }
    ~LaptopWriter() = default;

    void insert(const SyncRow& row) {
        QStringList values;
        for (int c = 0; c < m_shape.columns.size(); ++c)
            values << row_literal(m_shape, row, c);
        m_rows << QLatin1Char('(') + values.join(QLatin1Char(',')) + QLatin1Char(')');
        if (m_rows.size() >= kInsertRows)
            flush();
    }
    void update(qint64 rowid, const SyncRow& row) {
        QStringList sets;
        for (int c = 0; c < m_shape.columns.size(); ++c)
            sets << ident(m_shape.columns.at(c)) + QLatin1Char('=') + row_literal(m_shape, row, c);
        m_laptop.execute_sql(QStringLiteral("update %1 set %2 where rowid=%3")
                                 .arg(ident(m_shape.name), sets.join(QLatin1Char(',')))
                                 .arg(rowid));
    }
    void remove(qint64 rowid) {
        m_deletes << QString::number(rowid);
        if (m_deletes.size() >= 500)
            flush();
    }
    void flush() {
        if (!m_rows.isEmpty()) {
            m_laptop.execute_sql(m_head + m_rows.join(QLatin1Char(',')));
            m_rows.clear();
        }
        if (!m_deletes.isEmpty()) {
            m_laptop.execute_sql(QStringLiteral("delete from %1 where rowid in (%2)")
                                     .arg(ident(m_shape.name), m_deletes.join(QLatin1Char(','))));
            m_deletes.clear();
        }
    }

private:
    Database& m_laptop;
    const TableShape& m_shape;
    QString m_head;
    QStringList m_rows;
    QStringList m_deletes;
};

// The laptop's row holds what the office's holds. Derived columns the office left empty (a row
// another program wrote) are filled by the laptop itself and count as the same.
bool identical(const TableShape& shape, const SyncRow& laptop, const SyncRow& office) {
    for (int c = 0; c < shape.columns.size(); ++c)
        if (!(shape.derived.at(c) && office.is_null(c)) && !same_value(shape, laptop, office, c))
            return false;
    return true;
}

bool counts_as_own(const OwnRows& own, const QString& table, const QString& key) {
    const auto t = own.constFind(table);
    return t != own.constEnd() && t->contains(key);
}

// Takes one of the own rows of that signature; false when none is left.
bool take_own(QHash<QString, int>& own, const QString& signature) {
    auto it = own.find(signature);
    if (it == own.end() || *it <= 0)
        return false;
    --*it;
    return true;
}

}  // namespace

QString row_key_text(const TableShape& shape, const SyncRow& row) {
    if (row.is_null(shape.key))
        return QStringLiteral("\x01");
    const QString v = row.values.at(shape.key);
    bool ok = false;
    const double d = v.trimmed().toDouble(&ok);
    if (shape.numeric.value(shape.key) && ok && d == std::floor(d))
        return QString::number(qlonglong(d));
    return v;
}

namespace {

// The office's rows of one key range and the laptop's, made the same (kept rows aside).
void diff_numbered(Database& laptop, const TableShape& shape, const KeptRows& kept, const OwnRows& own,
                   CopyCounts& counts, LaptopWriter& writer, bool laptop_empty, const ResultTable& rows,
                   const QString& laptop_where) {
    std::map<qint64, SyncRow> office_rows;
    for (int r = 1; r <= rows.row_count(); ++r) {
        SyncRow row = result_row(rows, r, 0, shape);
        bool ok = false;
        const qint64 k = row.number(shape.key, &ok);
        if (!ok)
            throw DatabaseError(
                QStringLiteral("%1 のキーが数ではありません: %2").arg(shape.name, row.value(shape.key)));
        if (k >= kLaptopKeyBase)
            throw DatabaseError(
                QStringLiteral("%1 のキー %2 が大きすぎるため、持ち出せません。").arg(shape.name).arg(k));
        office_rows.emplace(k, std::move(row));
    }
    std::map<qint64, SyncRow> laptop_rows;
    if (!laptop_empty) {
        const ResultTable mine =
            laptop.query_rows(QStringLiteral("select rowid,%1 from %2 where %3")
                                  .arg(row_select_list(shape), ident(shape.name), laptop_where),
                              row_select_width(shape) + 1);
        for (int r = 1; r <= mine.row_count(); ++r)
            laptop_rows.emplace(mine(0, r).toLongLong(), result_row(mine, r, 1, shape));
    }
    for (auto& [k, row] : office_rows) {
        if (kept.rowids.contains(k))
            continue;
        const auto at = laptop_rows.find(k);
        const bool own_row = counts_as_own(own, shape.name, QString::number(k));
        if (at == laptop_rows.end()) {
            writer.insert(row);
            ++counts.inserted;
            counts.received += own_row ? 0 : 1;
        } else if (!identical(shape, at->second, row)) {
            writer.update(k, row);
            ++counts.updated;
            counts.received += own_row ? 0 : 1;
        }
    }
    for (const auto& [k, row] : laptop_rows) {
        if (kept.rowids.contains(k) || office_rows.count(k))
            continue;
        writer.remove(k);
        ++counts.deleted;
        counts.received += counts_as_own(own, shape.name, QString::number(k)) ? 0 : 1;
    }
}

void copy_numbered(Database& laptop, Database& office, const TableShape& shape, const KeptRows& kept,
                   const OwnRows& own, CopyCounts& counts, PieceSums& pieces) {
    const QString list = row_select_list(shape);
    const QString key = ident(shape.columns.at(shape.key));
    const int width = row_select_width(shape);
    LaptopWriter writer(laptop, shape);
    const bool laptop_empty =
        laptop.query_rows(QStringLiteral("select count(*) from %1").arg(ident(shape.name)), 1)(0, 1)
            .toLongLong() == 0;
    if (const std::optional<QList<qint64>> changed = pieces.to_read(shape, shape.key)) {
        // Only the pieces the office changed since the copy was last made the same (or the laptop did).
        for (qint64 piece : *changed) {
            const qint64 low = piece * kPieceKeys;
            const qint64 high = low + kPieceKeys;
            const ResultTable rows =
                office.query_rows(QStringLiteral("select %1 from %2 where %3 >= %4 and %3 < %5")
                                      .arg(list, ident(shape.name), key)
                                      .arg(low)
                                      .arg(high),
                                  width);
            diff_numbered(laptop, shape, kept, own, counts, writer, laptop_empty, rows,
                          QStringLiteral("rowid >= %1 and rowid < %2").arg(low).arg(high));
        }
    } else {
        qint64 last = 0;
        bool first = true;
        for (;;) {
            const QString rest =
                QStringLiteral("from %1 %2 order by %3")
                    .arg(ident(shape.name),
                         first ? QString() : QStringLiteral("where %1 > %2").arg(key).arg(last), key);
            const ResultTable rows = office.query_rows(first_rows(office, list, rest, kChunkRows), width);
            const int n = rows.row_count();
            const qint64 high =
                n < kChunkRows ? kLaptopKeyBase - 1 : result_row(rows, n, 0, shape).number(shape.key);
            diff_numbered(laptop, shape, kept, own, counts, writer, laptop_empty, rows,
                          QStringLiteral("rowid <= %1%2")
                              .arg(high)
                              .arg(first ? QString() : QStringLiteral(" and rowid > %1").arg(last)));
            if (n < kChunkRows)
                break;
            last = high;
            first = false;
        }
    }
    // The laptop's own new rows came back under the office's keys (or were dropped).
    if (!laptop_empty) {
        const ResultTable mine = laptop.query_rows(QStringLiteral("select rowid from %1 where rowid >= %2")
                                                       .arg(ident(shape.name))
                                                       .arg(kLaptopKeyBase),
                                                   1);
        for (int r = 1; r <= mine.row_count(); ++r) {
            const qint64 k = mine(0, r).toLongLong();
            if (!kept.rowids.contains(k)) {
                writer.remove(k);
                ++counts.deleted;
            }
        }
    }
    writer.flush();
}

void copy_given(Database& laptop, Database& office, const TableShape& shape, const KeptRows& kept,
                const OwnRows& own, CopyCounts& counts) {
    const QString list = row_select_list(shape);
    const int width = row_select_width(shape);
    LaptopWriter writer(laptop, shape);
    const ResultTable theirs =
        office.query_rows(QStringLiteral("select %1 from %2").arg(list, ident(shape.name)), width);
    const ResultTable mine =
        laptop.query_rows(QStringLiteral("select rowid,%1 from %2").arg(list, ident(shape.name)), width + 1);
    QHash<QString, QPair<qint64, SyncRow>> laptop_rows;
    QVector<qint64> extra;
    for (int r = 1; r <= mine.row_count(); ++r) {
        const qint64 rowid = mine(0, r).toLongLong();
        if (kept.rowids.contains(rowid))
            continue;
        const SyncRow row = result_row(mine, r, 1, shape);
        const QString k = row_key_text(shape, row);
        if (laptop_rows.contains(k))
            extra << rowid;
        else
            laptop_rows.insert(k, {rowid, row});
    }
    QSet<QString> seen;
    for (int r = 1; r <= theirs.row_count(); ++r) {
        const SyncRow row = result_row(theirs, r, 0, shape);
        const QString k = row_key_text(shape, row);
        if (kept.keys.contains(k) || seen.contains(k))
            continue;
        seen.insert(k);
        const bool own_row = counts_as_own(own, shape.name, k);
        const auto at = laptop_rows.constFind(k);
        if (at == laptop_rows.constEnd()) {
            writer.insert(row);
            ++counts.inserted;
            counts.received += own_row ? 0 : 1;
        } else if (!identical(shape, at->second, row)) {
            writer.update(at->first, row);
            ++counts.updated;
            counts.received += own_row ? 0 : 1;
        }
    }
    for (auto it = laptop_rows.constBegin(); it != laptop_rows.constEnd(); ++it) {
        if (!seen.contains(it.key())) {
            writer.remove(it->first);
            ++counts.deleted;
            counts.received += counts_as_own(own, shape.name, it.key()) ? 0 : 1;
        }
    }
    for (qint64 rowid : extra) {
        writer.remove(rowid);
        ++counts.deleted;
    }
    writer.flush();
}

// The pieces an unkeyed table is read in: ranges of the first column that points to another table.
QStringList unkeyed_pieces(Database& office, const TableShape& shape) {
    int ref = -1;
    for (int c = 0; c < shape.columns.size() && ref < 0; ++c)
        if (!shape.refers_to.at(c).isEmpty())
            ref = c;
    if (ref < 0)
        return {QStringLiteral("1=1")};
    const QString column = ident(shape.columns.at(ref));
    const ResultTable range = office.query_rows(QStringLiteral("select min(%1),max(%1) from %2 where %1 < %3")
                                                    .arg(column, ident(shape.name))
                                                    .arg(kLaptopKeyBase),
                                                2);
    bool ok_low = false, ok_high = false;
    const qint64 low = range(0, 1).toLongLong(&ok_low);
    const qint64 high = range(1, 1).toLongLong(&ok_high);
    if (!ok_low || !ok_high)
        return {QStringLiteral("1=1")};
    QStringList pieces;
    for (qint64 a = low; a <= high; a += kLineRange)
        pieces << QStringLiteral("%1 >= %2 and %1 < %3").arg(column).arg(a).arg(a + kLineRange);
    // Everything the ranges leave out: no parent, or a parent outside the office's keys.
    pieces << QStringLiteral("(%1 is null or %1 < %2 or %1 >= %3)")
                  .arg(column)
                  .arg(low)
                  .arg(low + ((high - low) / kLineRange + 1) * kLineRange);
    return pieces;
}

void copy_unkeyed(Database& laptop, Database& office, const TableShape& shape, const KeptRows& kept,
                  const OwnRows& own, CopyCounts& counts, PieceSums& sums) {
    const QString list = row_select_list(shape);
    const int width = row_select_width(shape);
    LaptopWriter writer(laptop, shape);
    QHash<QString, int> stand_ins;  // office rows a kept laptop row stands for
    for (const SyncRow& base : kept.bases)
        ++stand_ins[row_signature(shape, base)];
    QHash<QString, int> own_rows = own.value(shape.name);
    int parent = -1;  // rows under a parent the laptop numbered came back under the office's key
    for (int c = 0; c < shape.columns.size() && parent < 0; ++c)
        if (!shape.refers_to.at(c).isEmpty())
            parent = c;
    const bool laptop_empty =
        laptop.query_rows(QStringLiteral("select count(*) from %1").arg(ident(shape.name)), 1)(0, 1)
            .toLongLong() == 0;
    QStringList conditions;
    const int cut = piece_column(shape);
    const std::optional<QList<qint64>> changed = cut >= 0 ? sums.to_read(shape, cut) : std::nullopt;
    if (changed) {
        const QString column = ident(shape.columns.at(cut));
        for (qint64 piece : *changed)
            conditions << (piece == kNullPiece ? column + QStringLiteral(" is null")
                                               : QStringLiteral("%1 >= %2 and %1 < %3")
                                                     .arg(column)
                                                     .arg(piece * kPieceKeys)
                                                     .arg(piece * kPieceKeys + kPieceKeys));
        // Rows under the laptop's own new parents came back under the office's keys.
        conditions << QStringLiteral("%1 >= %2").arg(column).arg(kLaptopKeyBase);
    } else {
        conditions = unkeyed_pieces(office, shape);
    }
    for (const QString& piece : std::as_const(conditions)) {
        const ResultTable theirs = office.query_rows(
            QStringLiteral("select %1 from %2 where %3").arg(list, ident(shape.name), piece), width);
        QHash<QString, QVector<QPair<qint64, bool>>> laptop_rows;  // rowid, under a laptop-numbered parent
        if (!laptop_empty) {
            const ResultTable mine = laptop.query_rows(
                QStringLiteral("select rowid,%1 from %2 where %3").arg(list, ident(shape.name), piece),
                width + 1);
            for (int r = 1; r <= mine.row_count(); ++r) {
                const qint64 rowid = mine(0, r).toLongLong();
                if (kept.rowids.contains(rowid))
                    continue;
                const SyncRow row = result_row(mine, r, 1, shape);
                laptop_rows[row_signature(shape, row)]
                    << qMakePair(rowid, parent >= 0 && row.number(parent) >= kLaptopKeyBase);
            }
        }
        for (int r = 1; r <= theirs.row_count(); ++r) {
            const SyncRow row = result_row(theirs, r, 0, shape);
            const QString signature = row_signature(shape, row);
            if (take_own(stand_ins, signature))
                continue;
            auto at = laptop_rows.find(signature);
            if (at != laptop_rows.end() && !at->isEmpty()) {
                at->removeLast();
                continue;
            }
            writer.insert(row);
            ++counts.inserted;
            counts.received += take_own(own_rows, signature) ? 0 : 1;
        }
        for (auto it = laptop_rows.constBegin(); it != laptop_rows.constEnd(); ++it) {
            for (const auto& [rowid, laptop_parent] : *it) {
                writer.remove(rowid);
                ++counts.deleted;
                counts.received += laptop_parent ? 0 : 1;
            }
        }
    }
    writer.flush();
}

}  // namespace

QString row_signature(const TableShape& shape, const SyncRow& row) {
    QStringList parts;
    for (int c = 0; c < shape.columns.size(); ++c) {
        if (shape.derived.at(c))
            continue;
        if (row.is_null(c)) {
            parts << QStringLiteral("\x01");
            continue;
        }
        const QString v = row.values.at(c);
        double d = 0;
        if (shape.numeric.at(c) && parse_number(v, &d)) {
            parts << (d == std::floor(d) && std::fabs(d) < 9.0e15 ? QString::number(qlonglong(d))
                                                                  : QString::number(d, 'g', 15));
        } else {
            parts << v;
        }
    }
    return parts.join(QChar(0x1f));
}

int piece_column(const TableShape& shape) {
    if (shape.identity == RowIdentity::Numbered)
        return shape.key;
    if (shape.identity == RowIdentity::Unkeyed)
        for (int c = 0; c < shape.columns.size(); ++c)
            if (!shape.refers_to.at(c).isEmpty())
                return c;
    return -1;
}

PieceSums::PieceSums(Database& laptop, Database& office) : m_laptop(laptop), m_office(office) {}

void PieceSums::mark(const QString& table, const SyncRow& row, const TableShape& shape) {
    const int c = piece_column(shape);
    if (c < 0 || c >= row.values.size())
        return;
    if (row.is_null(c)) {
        m_marked[table].insert(kNullPiece);
        return;
    }
    bool ok = false;
    const qint64 key = row.values.at(c).trimmed().toLongLong(&ok);
    if (ok && key < kLaptopKeyBase)
        m_marked[table].insert(key >= 0 ? key / kPieceKeys : -((-key + kPieceKeys - 1) / kPieceKeys));
}

std::optional<QList<qint64>> PieceSums::to_read(const TableShape& shape, int column) {
    if (m_office.dialect() != Dialect::MySql)
        return std::nullopt;
    QStringList values;
    for (const QString& c : shape.columns)
        values << QStringLiteral("ifnull(%1,char(1))").arg(ident(c));
    const QString row = QStringLiteral("concat_ws(char(31),%1)").arg(values.join(QLatin1Char(',')));
    const QString cut = ident(shape.columns.at(column));
    const ResultTable rows = m_office.query_rows(
        QStringLiteral(
            "select "
            "floor(%1/%2),count(*),sum(crc32(%3)),bit_xor(crc32(concat(ifnull(%1,char(1)),char(30),%3))) "
            "from %4 where %1 is null or %1 < %5 group by 1")
            .arg(cut)
            .arg(kPieceKeys)
            .arg(row, ident(shape.name))
            .arg(kLaptopKeyBase),
        4);
    QHash<qint64, QString>& now = m_sums[shape.name];
    now.clear();
    for (int r = 1; r <= rows.row_count(); ++r)
        now.insert(rows(0, r) == QLatin1String("-") ? kNullPiece : rows(0, r).toLongLong(),
                   rows(1, r) + QLatin1Char('/') + rows(2, r) + QLatin1Char('/') + rows(3, r));
    QHash<qint64, QString> kept;
    if (m_laptop.query_rows(
            QStringLiteral("select count(*) from sqlite_master where name=%1").arg(sql_text(kPieceSumsTable)),
            1)(0, 1) != QLatin1String("0")) {
        const ResultTable stored =
            m_laptop.query_rows(QStringLiteral("select [区間],[値] from [%1] where [テーブル名]=%2")
                                    .arg(kPieceSumsTable, sql_text(shape.name)),
                                2);
        for (int r = 1; r <= stored.row_count(); ++r)
            kept.insert(stored(0, r).toLongLong(), stored(1, r));
    }
    const QSet<qint64> marked = m_marked.value(shape.name);
    QSet<qint64> all = marked;
    for (auto it = now.constBegin(); it != now.constEnd(); ++it)
        all.insert(it.key());
    for (auto it = kept.constBegin(); it != kept.constEnd(); ++it)
        all.insert(it.key());
    QList<qint64> out;
    for (qint64 piece : std::as_const(all)) {
        const bool unchanged = !marked.contains(piece) && kept.contains(piece) && now.contains(piece) &&
                               kept.value(piece) == now.value(piece);
        if (!unchanged)
            out << piece;
    }
    std::sort(out.begin(), out.end());
    return out;
}

void PieceSums::save() {
    if (m_sums.isEmpty())
        return;
    m_laptop.execute_sql(
        QStringLiteral("create table if not exists [%1] ([テーブル名] text, [区間] integer, [値] text, "
                       "primary key ([テーブル名],[区間]))")
            .arg(kPieceSumsTable));
    for (auto t = m_sums.constBegin(); t != m_sums.constEnd(); ++t) {
        m_laptop.execute_sql(
            QStringLiteral("delete from [%1] where [テーブル名]=%2").arg(kPieceSumsTable, sql_text(t.key())));
        QStringList rows;
        for (auto it = t->constBegin(); it != t->constEnd(); ++it) {
            rows << QStringLiteral("(%1,%2,%3)")
                        .arg(sql_text(t.key()))
                        .arg(it.key())
                        .arg(sql_text(it.value()));
            if (rows.size() >= 500 || std::next(it) == t->constEnd()) {
                m_laptop.execute_sql(QStringLiteral("insert into [%1] ([テーブル名],[区間],[値]) values%2")
                                         .arg(kPieceSumsTable, rows.join(QLatin1Char(','))));
                rows.clear();
            }
        }
    }
}

CopyCounts copy_office_rows(Database& laptop, Database& office, const QVector<TableShape>& shapes,
                            const QHash<QString, KeptRows>& kept, const OwnRows& own, PieceSums& pieces,
                            const std::function<void(int, int, const QString&)>& progress,
                            const std::function<void()>& after_table) {
    CopyCounts counts;
    int done = 0;
    for (const TableShape& shape : shapes) {
        if (progress)
            progress(done, int(shapes.size()), shape.name);
        const KeptRows none;
        const KeptRows& k = kept.contains(shape.name) ? *kept.constFind(shape.name) : none;
        switch (shape.identity) {
            case RowIdentity::Numbered:
                copy_numbered(laptop, office, shape, k, own, counts, pieces);
                break;
            case RowIdentity::Given:
                copy_given(laptop, office, shape, k, own, counts);
                break;
            case RowIdentity::Unkeyed:
                copy_unkeyed(laptop, office, shape, k, own, counts, pieces);
                break;
        }
        ++done;
        if (after_table)
            after_table();
    }
    if (progress)
        progress(done, int(shapes.size()), QString());
    return counts;
}

OfficeSnapshot::OfficeSnapshot(Database& office) : m_office(office) {
    // A read transaction sees one moment of the office database while other PCs go on saving.
    switch (office.dialect()) {
        case Dialect::Sqlite:
            office.execute_sql(QStringLiteral("BEGIN"));
            m_open = true;
            break;
        case Dialect::MySql:
            office.execute_sql(QStringLiteral("START TRANSACTION WITH CONSISTENT SNAPSHOT"));
            m_open = true;
            break;
        case Dialect::SqlServer:
            break;  // read committed, table by table
    }
}

OfficeSnapshot::~OfficeSnapshot() {
    if (!m_open)
        return;
    try {
        m_office.execute_sql(QStringLiteral("COMMIT"));
    } catch (const DatabaseError&) {
        // Nothing was written; a lost connection ends the read anyway.
    }
}

void refuse_large_office_keys(Database& office, const QVector<TableShape>& shapes) {
    for (const TableShape& shape : shapes) {
        if (shape.identity != RowIdentity::Numbered)
            continue;
        const QString largest =
            office.query_rows(QStringLiteral("select max(%1) from %2")
                                  .arg(ident(shape.columns.at(shape.key)), ident(shape.name)),
                              1)(0, 1);
        if (largest.toLongLong() >= kLaptopKeyBase)
            throw DatabaseError(
                QStringLiteral("%1 のキー %2 が大きすぎるため、持ち出せません。").arg(shape.name, largest));
    }
}

void number_laptop_rows_apart(Database& laptop, const QVector<TableShape>& shapes) {
    for (const TableShape& shape : shapes) {
        if (shape.identity != RowIdentity::Numbered)
            continue;
        const qint64 largest =
            laptop
                .query_rows(QStringLiteral("select coalesce(max(rowid),0) from %1").arg(ident(shape.name)),
                            1)(0, 1)
                .toLongLong();
        const qint64 next = std::max(largest, kLaptopKeyBase);
        laptop.execute_sql(
            QStringLiteral("delete from sqlite_sequence where name=%1").arg(sql_text(shape.name)));
        laptop.execute_sql(QStringLiteral("insert into sqlite_sequence (name,seq) values(%1,%2)")
                               .arg(sql_text(shape.name))
                               .arg(next));
    }
}
