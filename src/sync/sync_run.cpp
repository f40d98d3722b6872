#include "sync/sync_run.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <map>
#include <optional>

#include "db/database.h"
#include "db/deleted_rows.h"
#include "db/deleted_rows_schema.h"
#include "db/schema_upgrade.h"
#include "db/sync_schema.h"
#include "sync/office_copy.h"
#include "sync/sync_rows.h"
#include "sync/sync_tables.h"

namespace {

QString ident(const QString& name) {
    return QLatin1Char('[') + name + QLatin1Char(']');
}

struct JournalEntry {
    qint64 seq = 0;
    QChar kind;  // I, U, D
    QString old_row;
};

enum class ChangeKind { Nothing, Insert, Update, Delete };
enum class ChangeState { Open, Done, Waiting };

struct Change {
    const TableShape* shape = nullptr;
    qint64 row = 0;             // the laptop's rowid
    QVector<qint64> done_seqs;  // entries an earlier sync already brought back
    QVector<qint64> seqs;       // entries this change brings back
    ChangeKind kind = ChangeKind::Nothing;
    std::optional<SyncRow> base;
    std::optional<SyncRow> current;
    QVector<int> bundled;     // 削除済みデータ rows made with this delete, sent with it
    int bundled_into = -1;    // for such a row: the delete it goes with, and waits with
    bool standalone = false;  // a 削除済みデータ row sent on its own
    ChangeState state = ChangeState::Open;
    bool dropped = false;  // a new row left out (its parent stays deleted in the office)
    QString office_key;

    qint64 id_seq() const { return seqs.isEmpty() ? 0 : seqs.last(); }
};

// What one attempt at a change came to.
struct Outcome {
    enum Kind { Applied, Conflict, Wait, Failed } kind = Applied;
    bool wrote = false;
    bool dropped = false;  // left out as the user chose: rows that belong to it are left out too
    SyncConflict conflict;
    QString message;
};

bool connection_lost(const DatabaseError& e) {
    return e.message().contains(QStringLiteral("接続が切れました"));
}

bool deadlock(const DatabaseError& e) {
    return e.message().contains(QLatin1String("Deadlock found")) || e.message() == kDatabaseBusyMessage;
}

bool duplicate_key(const DatabaseError& e) {
    const QString m = e.message();
    return m.contains(QLatin1String("Duplicate entry")) || m.contains(QLatin1String("UNIQUE constraint")) ||
           m.contains(QLatin1String("PRIMARY KEY"));
}

QString choice_text(SyncDecision::Choice choice) {
    switch (choice) {
        case SyncDecision::Laptop:
            return QStringLiteral("ノートPCの内容を採用しました");
        case SyncDecision::Office:
            return QStringLiteral("事務所の内容を採用しました");
        case SyncDecision::Fields:
            return QStringLiteral("項目ごとに選んで採用しました");
        case SyncDecision::Stop:
            break;
    }
    return QStringLiteral("送らずに残しました（次の同期でもう一度確認します）");
}

class SyncRun {
public:
    SyncRun(Database& laptop, Database& office, const SyncOptions& options)
        : m_laptop(laptop), m_office(office), m_options(options) {}

    SyncSummary run();

private:
    void check_versions();
    void read_journal();
    void read_current_rows();
    void classify();
    void bundle_deleted_rows();
    void send();
    void send_change(Change& change);
    Outcome apply(Change& change, const SyncDecision* decision, const SyncConflict* asked);
    Outcome apply_insert(Change& change, const SyncDecision* decision, const SyncConflict* asked);
    Outcome apply_update(Change& change, const SyncDecision* decision, const SyncConflict* asked);
    Outcome apply_delete(Change& change, const SyncDecision* decision, const SyncConflict* asked);
    void refresh();
    void purge_applied();
    void cut_point();
    void commit_sent(Transaction& tx, const Change& change, const QString& office_key);

    // Office side.
    std::optional<SyncRow> office_row(const TableShape& shape, const QString& where);
    QString identity_where(const TableShape& shape, const SyncRow& row, const QString& office_key) const;
    QString insert_statement(const TableShape& shape, const SyncRow& row, bool with_key) const;
    QString update_statement(const TableShape& shape, const SyncRow& row, const SyncRow& office_row,
                             const QString& where) const;
    QString one_row(const TableShape& shape, const QString& head, const QString& where) const;
    QString office_insert(const TableShape& shape, const SyncRow& row);
    void office_insert_with_key(const TableShape& shape, const SyncRow& row);
    void record(qint64 seq, const QString& table, const QString& office_key);
    std::optional<Outcome> check_parents(const TableShape& shape, const SyncRow& row, const SyncRow* base);
    bool laptop_has(const QString& table, qint64 key) const;

    // Keys.
    QString mapped_key(const QString& table, const QString& value) const;
    SyncRow mapped(const TableShape& shape, const SyncRow& row) const;
    QString office_key_of(const Change& change) const;
    SyncRow mapped_deleted_entry(const SyncRow& entry) const;
    QJsonValue mapped_json_key(const QString& table, const QJsonValue& value) const;

    SyncConflict conflict(ConflictKind kind, const TableShape& shape, const QString& key,
                          const std::optional<SyncRow>& laptop, const std::optional<SyncRow>& office) const;
    SyncRow chosen_row(const TableShape& shape, const SyncRow& laptop, const SyncRow& office,
                       const SyncDecision& decision) const;
    void own(const TableShape& shape, const QString& key, const SyncRow& written);

    Database& m_laptop;
    Database& m_office;
    const SyncOptions& m_options;
    CopyInfo m_info;
    QVector<TableShape> m_shapes;
    qint64 m_last_seq = 0;
    QHash<qint64, QString> m_applied;  // seq → office key, as the office recorded them
    QVector<Change> m_changes;
    QHash<QString, QHash<qint64, int>> m_change_at;  // table → laptop rowid → change
    QHash<QString, QHash<qint64, qint64>> m_keys;    // table → laptop key → office key
    QHash<QString, SyncDecision> m_parent_decisions;
    mutable QHash<QString, bool> m_laptop_has;
    OwnRows m_own;
    SyncSummary m_summary;
    int m_point = 0;
    int m_points = 0;
    int m_done = 0;
    int m_total = 0;
};

void SyncRun::cut_point() {
    ++m_point;
    if (m_options.cut)
        m_options.cut(m_point, m_points);
}

// Notes the change as sent and commits the office's transaction, with a cut point before the commit.
void SyncRun::commit_sent(Transaction& tx, const Change& change, const QString& office_key) {
    record(change.id_seq(), change.shape->name, office_key);
    cut_point();
    tx.commit();
}

SyncSummary SyncRun::run() {
    m_info = read_copy_info(m_laptop);
    QLockFile lock(m_laptop.connection().database + QStringLiteral(".sync-lock"));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0))
        throw DatabaseError(
            QStringLiteral("このコピーの同期は別の処理で実行中です。終わってからもう一度実行してください。"));
    check_versions();
    m_shapes = synced_tables(m_laptop);
    read_journal();
    read_current_rows();
    classify();
    bundle_deleted_rows();
    int sendable = 0;
    for (const Change& c : m_changes)
        sendable += c.state == ChangeState::Open && c.bundled_into < 0 ? 1 : 0;
    m_points = 2 * sendable + int(m_shapes.size()) + 2;
    m_total = sendable + int(m_shapes.size());
    send();
    if (m_summary.cancelled)
        return m_summary;
    refresh();
    cut_point();
    purge_applied();
    for (const Change& c : m_changes)
        m_summary.waiting += c.state == ChangeState::Waiting && c.bundled_into < 0 ? 1 : 0;
    m_summary.new_keys = m_keys;
    return m_summary;
}

void SyncRun::check_versions() {
    const int mine = stored_schema_version(m_laptop);
    const int theirs = stored_schema_version(m_office);
    if (mine != theirs)
        throw DatabaseError(
            QStringLiteral(
                "事務所のデータベースの版（%1）とこのコピーの版（%2）が違うため、同期できません。\n"
                "事務所とこのノートPCで同じ版の営業手帳を使ってください。")
                .arg(theirs)
                .arg(mine));
}

void SyncRun::read_journal() {
    const ResultTable applied =
        m_office.query_rows(QStringLiteral("select [連番],[事務所キー] from [%1] where [持ち出しID]=%2")
                                .arg(kAppliedChangesTable, sql_text(m_info.copy_id)),
                            2);
    for (int r = 1; r <= applied.row_count(); ++r)
        m_applied.insert(applied(0, r).toLongLong(), applied(1, r));
    // Every entry numbered up to here is in the journal now or was brought back and removed before.
    m_last_seq =
        m_laptop
            .query_rows(QStringLiteral("select coalesce(max(seq),0) from sqlite_sequence where name=%1")
                            .arg(sql_text(kJournalTable)),
                        1)(0, 1)
            .toLongLong();
    const ResultTable journal = m_laptop.query_rows(
        QStringLiteral(
            "select [連番],[テーブル名],[行],[種類],coalesce([元の行],'') from [%1] order by [連番]")
            .arg(kJournalTable),
        5);
    // Entries by row, in the order each row was first changed.
    QVector<QPair<QString, qint64>> order;
    QHash<QString, QHash<qint64, QVector<JournalEntry>>> entries;
    for (int r = 1; r <= journal.row_count(); ++r) {
        const QString table = journal(1, r);
        const qint64 row = journal(2, r).toLongLong();
        auto& list = entries[table][row];
        if (list.isEmpty())
            order.push_back({table, row});
        list.push_back({journal(0, r).toLongLong(), journal(3, r).at(0), journal(4, r)});
        m_last_seq = std::max(m_last_seq, journal(0, r).toLongLong());
    }
    for (const auto& [table, row] : order) {
        const QVector<JournalEntry>& list = entries[table][row];
        Change change;
        change.shape = find_shape(m_shapes, table);
        change.row = row;
        // An earlier sync brought back the entries up to the last one the office recorded.
        int done = -1;
        for (int i = 0; i < list.size(); ++i)
            if (m_applied.contains(list.at(i).seq))
                done = i;
        for (int i = 0; i <= done; ++i)
            change.done_seqs << list.at(i).seq;
        if (done >= 0 && change.shape && change.shape->identity == RowIdentity::Numbered &&
            row >= kLaptopKeyBase) {
            bool ok = false;
            const qint64 key = m_applied.value(list.at(done).seq).toLongLong(&ok);
            if (ok)
                m_keys[table].insert(row, key);
        }
        for (int i = done + 1; i < list.size(); ++i)
            change.seqs << list.at(i).seq;
        if (!change.seqs.isEmpty() && list.at(done + 1).kind != QLatin1Char('I'))
            change.base = json_row(list.at(done + 1).old_row);
        if (!change.shape || change.seqs.isEmpty())
            change.state = ChangeState::Done;  // nothing left to send (or a table that stays behind)
        m_change_at[table].insert(row, int(m_changes.size()));
        m_changes.push_back(std::move(change));
    }
}

void SyncRun::read_current_rows() {
    QHash<QString, QStringList> wanted;
    for (const Change& c : m_changes)
        if (c.state == ChangeState::Open)
            wanted[c.shape->name] << QString::number(c.row);
    for (auto it = wanted.constBegin(); it != wanted.constEnd(); ++it) {
        const TableShape& shape = *find_shape(m_shapes, it.key());
        for (qsizetype i = 0; i < it->size(); i += 500) {
            const ResultTable rows = m_laptop.query_rows(
                QStringLiteral("select rowid,%1 from %2 where rowid in (%3)")
                    .arg(row_select_list(shape), ident(shape.name), it->mid(i, 500).join(QLatin1Char(','))),
                row_select_width(shape) + 1);
            for (int r = 1; r <= rows.row_count(); ++r)
                m_changes[m_change_at[shape.name].value(rows(0, r).toLongLong())].current =
                    result_row(rows, r, 1, shape);
        }
    }
}

void SyncRun::classify() {
    for (Change& c : m_changes) {
        if (c.state != ChangeState::Open)
            continue;
        if (!c.base && !c.current)
            c.kind = ChangeKind::Nothing;  // made and deleted on the laptop
        else if (!c.base)
            c.kind = ChangeKind::Insert;
        else if (!c.current)
            c.kind = ChangeKind::Delete;
        else
            c.kind =
                same_row(*c.shape, *c.base, *c.current, false) ? ChangeKind::Nothing : ChangeKind::Update;
        if (c.kind == ChangeKind::Nothing)
            c.state = ChangeState::Done;
    }
}

// A row of 削除済みデータ made on the laptop goes with the delete it keeps, in the same transaction;
// one that keeps a row the office never had (made and deleted on the laptop) stays behind.
void SyncRun::bundle_deleted_rows() {
    for (int i = 0; i < m_changes.size(); ++i) {
        Change& entry = m_changes[i];
        if (entry.state != ChangeState::Open || !entry.shape->is_deleted_rows() ||
            entry.kind != ChangeKind::Insert)
            continue;
        const TableShape& shape = *entry.shape;
        const QString table = entry.current->value(shape.column(QStringLiteral("テーブル名")));
        const QString key = entry.current->value(shape.column(QStringLiteral("キー")));
        const TableShape* target = find_shape(m_shapes, table);
        int owner = -1;
        if (target && target->identity == RowIdentity::Numbered) {
            owner = m_change_at.value(table).value(key.toLongLong(), -1);
        } else if (target && target->identity == RowIdentity::Given) {
            for (int j = 0; j < m_changes.size() && owner < 0; ++j) {
                const Change& c = m_changes.at(j);
                if (c.shape == target && c.kind == ChangeKind::Delete && c.base &&
                    c.base->value(target->key) == key)
                    owner = j;
            }
        }
        if (owner >= 0 && m_changes.at(owner).kind == ChangeKind::Delete &&
            m_changes.at(owner).state == ChangeState::Open) {
            m_changes[owner].bundled << i;
            entry.bundled_into = owner;  // sent (or dropped) with its delete
            continue;
        }
        bool ok = false;
        const qint64 number = key.toLongLong(&ok);
        const bool laptop_only = target && target->identity == RowIdentity::Numbered && ok &&
                                 number >= kLaptopKeyBase && !m_keys.value(table).contains(number);
        if (laptop_only)
            entry.state = ChangeState::Done;
        else
            entry.standalone = true;
    }
}

void SyncRun::send() {
    auto pass = [&](const std::function<bool(const Change&)>& wanted) {
        for (const TableShape& shape : m_shapes) {
            for (Change& c : m_changes) {
                if (m_summary.cancelled)
                    return;
                if (c.shape != &shape || c.state != ChangeState::Open || c.bundled_into >= 0 || !wanted(c))
                    continue;
                send_change(c);
            }
        }
    };
    auto given_delete = [](const Change& c) {
        return c.kind == ChangeKind::Delete && c.shape->identity == RowIdentity::Given;
    };
    // Deletes of named rows first, so a template deleted and made again under its name is no clash.
    pass(given_delete);
    pass([](const Change& c) { return c.kind == ChangeKind::Insert && !c.standalone; });
    pass([](const Change& c) { return c.kind == ChangeKind::Update; });
    pass([&](const Change& c) { return c.kind == ChangeKind::Delete && !given_delete(c); });
    pass([](const Change& c) { return c.standalone; });
    for (Change& c : m_changes)
        if (c.state == ChangeState::Open)
            c.state = ChangeState::Waiting;  // not reached (stopped) or waiting with its delete
}

void SyncRun::send_change(Change& change) {
    const SyncRow& shown = change.current ? *change.current : *change.base;
    const QString caption = row_caption(*change.shape, mapped(*change.shape, shown), office_key_of(change));
    if (m_options.progress && !m_options.progress(m_done, m_total, QStringLiteral("送信中: ") + caption)) {
        m_summary.cancelled = true;
        return;
    }
    ++m_done;
    std::optional<SyncDecision> decision;
    std::optional<SyncConflict> asked;
    bool counted = false;
    int retries = 0;
    for (;;) {
        Outcome outcome;
        try {
            outcome = apply(change, decision ? &*decision : nullptr, asked ? &*asked : nullptr);
        } catch (const DatabaseError& e) {
            if (connection_lost(e))
                throw;
            if (deadlock(e) && ++retries <= 3)
                continue;  // another PC's transaction was chosen to go first: nothing of this one stayed
            if (duplicate_key(e)) {
                // Another run of this copy's sync recorded it first: it is in the office once.
                change.state = ChangeState::Done;
                return;
            }
            change.state = ChangeState::Waiting;
            m_summary.failures << caption + QStringLiteral(": ") + e.message();
            return;
        }
        switch (outcome.kind) {
            case Outcome::Applied:
                change.state = ChangeState::Done;
                change.dropped = outcome.dropped;
                for (int i : std::as_const(change.bundled))
                    m_changes[i].state = ChangeState::Done;
                m_summary.sent += outcome.wrote ? 1 : 0;
                if (counted)
                    m_summary.conflict_lines.last() += QStringLiteral(" → ") + choice_text(decision->choice);
                return;
            case Outcome::Wait:
                change.state = ChangeState::Waiting;
                m_summary.held << caption + QStringLiteral(": ") + outcome.message;
                return;
            case Outcome::Failed:
                change.state = ChangeState::Waiting;
                m_summary.failures << caption + QStringLiteral(": ") + outcome.message;
                return;
            case Outcome::Conflict:
                break;
        }
        const SyncConflict& found = outcome.conflict;
        if (!counted) {
            ++m_summary.conflicts;
            m_summary.conflict_lines << found.caption + QStringLiteral("：") + found.description();
            counted = true;
        }
        const SyncDecision answer = m_options.resolve ? m_options.resolve(found) : SyncDecision{};
        if (answer.choice == SyncDecision::Stop) {
            if (found.kind == ConflictKind::ParentDeleted)
                m_parent_decisions.insert(found.table + QLatin1Char('\x1f') + found.key, answer);
            change.state = ChangeState::Waiting;
            m_summary.conflict_lines.last() += QStringLiteral(" → ") + choice_text(SyncDecision::Stop);
            return;
        }
        if (found.kind == ConflictKind::ParentDeleted)
            m_parent_decisions.insert(found.table + QLatin1Char('\x1f') + found.key, answer);
        decision = answer;
        asked = found;
    }
}

Outcome SyncRun::apply(Change& change, const SyncDecision* decision, const SyncConflict* asked) {
    switch (change.kind) {
        case ChangeKind::Insert:
            return apply_insert(change, decision, asked);
        case ChangeKind::Update:
            return apply_update(change, decision, asked);
        case ChangeKind::Delete:
            return apply_delete(change, decision, asked);
        case ChangeKind::Nothing:
            break;
    }
    return {};
}

// ---- keys

QString SyncRun::mapped_key(const QString& table, const QString& value) const {
    bool ok = false;
    const qint64 key = value.trimmed().toLongLong(&ok);
    if (!ok || key < kLaptopKeyBase)
        return value;
    const auto t = m_keys.constFind(table);
    if (t == m_keys.constEnd() || !t->contains(key))
        return value;
    return QString::number(t->value(key));
}

SyncRow SyncRun::mapped(const TableShape& shape, const SyncRow& row) const {
    SyncRow out = row;
    for (int c = 0; c < shape.columns.size() && c < row.values.size(); ++c) {
        if (row.is_null(c))
            continue;
        if (!shape.refers_to.at(c).isEmpty()) {
            out.values[c] = mapped_key(shape.refers_to.at(c), row.values.at(c));
            // A row the laptop made and deleted again never reached the office: its key means nothing
            // there (and may be another laptop's), so what pointed to it points to no row at all.
            bool ok = false;
            const qint64 key = out.values.at(c).trimmed().toLongLong(&ok);
            if (ok && key >= kLaptopKeyBase && !laptop_has(shape.refers_to.at(c), key))
                out.values[c] = QStringLiteral("0");
        } else if (c == shape.key && shape.identity == RowIdentity::Numbered)
            out.values[c] = mapped_key(shape.name, row.values.at(c));
    }
    if (shape.is_deleted_rows())
        out = mapped_deleted_entry(out);
    return out;
}

QString SyncRun::office_key_of(const Change& change) const {
    const TableShape& shape = *change.shape;
    switch (shape.identity) {
        case RowIdentity::Numbered:
            return mapped_key(shape.name, QString::number(change.row));
        case RowIdentity::Given:
            return change.base ? change.base->value(shape.key) : change.current->value(shape.key);
        case RowIdentity::Unkeyed:
            break;
    }
    return QString();
}

QJsonValue SyncRun::mapped_json_key(const QString& table, const QJsonValue& value) const {
    if (table.isEmpty() || !value.isString())
        return value;
    return QJsonValue(mapped_key(table, value.toString()));
}

// The keys a restorable delete keeps (its own row, what a merge moved and filled) as the office knows them.
SyncRow SyncRun::mapped_deleted_entry(const SyncRow& entry) const {
    const TableShape* entries = find_shape(m_shapes, kDeletedRowsTable);
    if (!entries)
        return entry;
    SyncRow out = entry;
    const int table_column = entries->column(QStringLiteral("テーブル名"));
    const int key_column = entries->column(QStringLiteral("キー"));
    const int content_column = entries->column(QStringLiteral("内容"));
    const QString table = entry.value(table_column);
    const TableShape* target = find_shape(m_shapes, table);
    if (!target)
        return out;
    auto reference = [&](const QString& in_table, const QString& column) -> QString {
        const TableShape* s = find_shape(m_shapes, in_table);
        if (!s)
            return QString();
        const int c = s->column(column);
        if (c < 0)
            return QString();
        if (c == s->key && s->identity == RowIdentity::Numbered)
            return s->name;
        return s->refers_to.at(c);
    };
    if (target->identity == RowIdentity::Numbered && key_column >= 0 && !entry.is_null(key_column))
        out.values[key_column] = mapped_key(table, entry.value(key_column));
    if (content_column < 0 || entry.is_null(content_column))
        return out;
    QJsonObject content = QJsonDocument::fromJson(entry.value(content_column).toUtf8()).object();
    const QJsonArray columns = content.value(QStringLiteral("columns")).toArray();
    QJsonArray values = content.value(QStringLiteral("values")).toArray();
    for (qsizetype i = 0; i < columns.size() && i < values.size(); ++i)
        values[i] = mapped_json_key(reference(table, columns.at(i).toString()), values.at(i));
    content.insert(QStringLiteral("values"), values);
    QJsonObject undo = content.value(QStringLiteral("undo")).toObject();
    if (!undo.isEmpty()) {
        QJsonArray moves = undo.value(QStringLiteral("moves")).toArray();
        for (qsizetype i = 0; i < moves.size(); ++i) {
            QJsonObject m = moves.at(i).toObject();
            const QString moved = m.value(QStringLiteral("table")).toString();
            const QString column = m.value(QStringLiteral("column")).toString();
            QJsonArray keys = m.value(QStringLiteral("keys")).toArray();
            const QString key_owner = reference(moved, m.value(QStringLiteral("key_column")).toString());
            for (qsizetype k = 0; k < keys.size(); ++k)
                keys[k] = mapped_json_key(key_owner, keys.at(k));
            m.insert(QStringLiteral("keys"), keys);
            for (const char* side : {"to", "from"})
                m.insert(QLatin1String(side),
                         mapped_json_key(reference(moved, column), m.value(QLatin1String(side))));
            moves[i] = m;
        }
        undo.insert(QStringLiteral("moves"), moves);
        QJsonArray fills = undo.value(QStringLiteral("fills")).toArray();
        for (qsizetype i = 0; i < fills.size(); ++i) {
            QJsonObject f = fills.at(i).toObject();
            const QString filled = f.value(QStringLiteral("table")).toString();
            f.insert(QStringLiteral("key"), mapped_json_key(filled, f.value(QStringLiteral("key"))));
            fills[i] = f;
        }
        undo.insert(QStringLiteral("fills"), fills);
        if (undo.contains(QStringLiteral("kept_id")))
            undo.insert(QStringLiteral("kept_id"),
                        mapped_json_key(table, undo.value(QStringLiteral("kept_id"))));
        content.insert(QStringLiteral("undo"), undo);
    }
    out.values[content_column] = QString::fromUtf8(QJsonDocument(content).toJson(QJsonDocument::Compact));
    return out;
}

// ---- office statements

std::optional<SyncRow> SyncRun::office_row(const TableShape& shape, const QString& where) {
    // The row stays as read until the change commits (the embedded file is locked whole already).
    const QString hint =
        m_office.dialect() == Dialect::SqlServer ? QStringLiteral(" with (updlock, holdlock)") : QString();
    QString statement =
        first_rows(m_office, row_select_list(shape),
                   QStringLiteral("from %1%2 where %3").arg(ident(shape.name), hint, where), 1);
    if (m_office.dialect() == Dialect::MySql)
        statement += QStringLiteral(" for update");
    const ResultTable rows = m_office.query_rows(statement, row_select_width(shape));
    if (rows.row_count() == 0)
        return std::nullopt;
    return result_row(rows, 1, 0, shape);
}

QString SyncRun::identity_where(const TableShape& shape, const SyncRow& row,
                                const QString& office_key) const {
    switch (shape.identity) {
        case RowIdentity::Numbered:
            return ident(shape.columns.at(shape.key)) + QLatin1Char('=') + office_key;
        case RowIdentity::Given: {
            SyncRow key_row;
            key_row.set(shape.key, office_key);
            return ident(shape.columns.at(shape.key)) + QLatin1Char('=') +
                   row_literal(shape, key_row, shape.key);
        }
        case RowIdentity::Unkeyed:
            break;
    }
    QStringList parts;
    for (int c = 0; c < shape.columns.size() && c < row.values.size(); ++c) {
        if (shape.derived.at(c))
            continue;
        parts << (row.is_null(c)
                      ? ident(shape.columns.at(c)) + QStringLiteral(" is null")
                      : ident(shape.columns.at(c)) + QLatin1Char('=') + row_literal(shape, row, c));
    }
    return parts.join(QStringLiteral(" and "));
}

QString SyncRun::insert_statement(const TableShape& shape, const SyncRow& row, bool with_key) const {
    QStringList names, values;
    for (int c = 0; c < shape.columns.size() && c < row.values.size(); ++c) {
        if (shape.derived.at(c) || (c == shape.key && shape.identity == RowIdentity::Numbered && !with_key))
            continue;
        names << ident(shape.columns.at(c));
        values << row_literal(shape, row, c);
    }
    return QStringLiteral("insert into %1 (%2) values(%3)")
        .arg(ident(shape.name), names.join(QLatin1Char(',')), values.join(QLatin1Char(',')));
}

QString SyncRun::update_statement(const TableShape& shape, const SyncRow& row, const SyncRow& now,
                                  const QString& where) const {
    QStringList sets;
    for (int c = 0; c < shape.columns.size() && c < row.values.size(); ++c) {
        if (shape.derived.at(c) || (c == shape.key && shape.identity == RowIdentity::Numbered))
            continue;
        if (!same_value(shape, row, now, c) || row.is_null(c) != now.is_null(c))
            sets << ident(shape.columns.at(c)) + QLatin1Char('=') + row_literal(shape, row, c);
    }
    if (sets.isEmpty())
        return QString();
    const QString head =
        QStringLiteral("update %1 set %2").arg(ident(shape.name), sets.join(QLatin1Char(',')));
    return shape.identity == RowIdentity::Unkeyed ? one_row(shape, head, where)
                                                  : head + QStringLiteral(" where ") + where;
}

// An update or delete of rows without a key touches one of the equal rows only.
QString SyncRun::one_row(const TableShape& shape, const QString& head, const QString& where) const {
    switch (m_office.dialect()) {
        case Dialect::MySql:
            return head + QStringLiteral(" where ") + where + QStringLiteral(" limit 1");
        case Dialect::Sqlite:
            return head + QStringLiteral(" where rowid in (select rowid from %1 where %2 limit 1)")
                              .arg(ident(shape.name), where);
        case Dialect::SqlServer:
            if (head.startsWith(QLatin1String("update ")))
                return QStringLiteral("update top (1) ") + head.mid(7) + QStringLiteral(" where ") + where;
            return QStringLiteral("delete top (1) ") + head.mid(7) + QStringLiteral(" where ") + where;
    }
    return head + QStringLiteral(" where ") + where;
}

QString SyncRun::office_insert(const TableShape& shape, const SyncRow& row) {
    if (shape.identity != RowIdentity::Numbered) {
        m_office.execute_sql(insert_statement(shape, row, true));
        return shape.identity == RowIdentity::Given ? row.value(shape.key) : QString();
    }
    return m_office.insert_row(insert_statement(shape, row, false), shape.columns.at(shape.key));
}

void SyncRun::office_insert_with_key(const TableShape& shape, const SyncRow& row) {
    const QStringList statements =
        explicit_key_insert(shape.name, insert_statement(shape, row, true), m_office.dialect());
    for (const QString& s : statements)
        m_office.execute_sql(s);
}

void SyncRun::record(qint64 seq, const QString& table, const QString& office_key) {
    m_office.execute_sql(
        QStringLiteral("insert into [%1] ([変更ID],[持ち出しID],[連番],[テーブル名],[事務所キー],[適用日時]) "
                       "values(%2,%3,%4,%5,%6,%7)")
            .arg(kAppliedChangesTable, sql_text(m_info.copy_id + QLatin1Char(':') + QString::number(seq)),
                 sql_text(m_info.copy_id), QString::number(seq), sql_text(table), sql_text(office_key),
                 sql_text(copy_time_text(QDateTime::currentDateTime()))));
}

void SyncRun::own(const TableShape& shape, const QString& key, const SyncRow& written) {
    if (shape.identity == RowIdentity::Unkeyed)
        ++m_own[shape.name][row_signature(shape, written)];
    else if (!key.isEmpty())
        ++m_own[shape.name][shape.identity == RowIdentity::Given ? written.value(shape.key) : key];
}

bool SyncRun::laptop_has(const QString& table, qint64 key) const {
    const QString k = table + QLatin1Char('\x1f') + QString::number(key);
    const auto it = m_laptop_has.constFind(k);
    if (it != m_laptop_has.constEnd())
        return *it;
    const bool has =
        m_laptop
            .query_rows(QStringLiteral("select count(*) from %1 where rowid=%2").arg(ident(table)).arg(key),
                        1)(0, 1)
            .toInt() > 0;
    m_laptop_has.insert(k, has);
    return has;
}

// Rows that the change makes point to a parent (a customer, an order): the parent must be in the
// office too. One the office deleted while the laptop still has it is asked once per parent: the
// laptop's choice puts the parent back, the office's leaves the change out.
std::optional<Outcome> SyncRun::check_parents(const TableShape& shape, const SyncRow& row,
                                              const SyncRow* base) {
    for (int c = 0; c < shape.columns.size() && c < row.values.size(); ++c) {
        const QString parent_table = shape.refers_to.at(c);
        if (parent_table.isEmpty() || row.is_null(c) || (base && same_value(shape, row, *base, c)))
            continue;
        bool ok = false;
        const qint64 key = row.values.at(c).trimmed().toLongLong(&ok);
        if (!ok)
            continue;
        const TableShape* parent = find_shape(m_shapes, parent_table);
        if (!parent)
            continue;
        if (key >= kLaptopKeyBase) {
            // A parent made on the laptop that did not reach the office: the change waits for it.
            const int at = m_change_at.value(parent_table).value(key, -1);
            if (at >= 0 && m_changes.at(at).state != ChangeState::Done) {
                Outcome wait;
                wait.kind = Outcome::Wait;
                wait.message = QStringLiteral("関連する%1がまだ送られていないため、次の同期で送ります。")
                                   .arg(parent_table);
                return wait;
            }
            if (at >= 0 && m_changes.at(at).dropped) {
                Outcome dropped;
                dropped.dropped = true;  // the lines of an order left out stay out with it
                return dropped;
            }
            continue;
        }
        if (!laptop_has(parent_table, key))
            continue;  // the laptop itself deleted it: the row stays without it, as on the laptop
        const QString where =
            ident(parent->columns.at(parent->key)) + QLatin1Char('=') + QString::number(key);
        if (office_row(*parent, where))
            continue;
        const QString decision_key = parent_table + QLatin1Char('\x1f') + QString::number(key);
        const auto decided = m_parent_decisions.constFind(decision_key);
        if (decided == m_parent_decisions.constEnd()) {
            const ResultTable rows =
                m_laptop.query_rows(QStringLiteral("select %1 from %2 where rowid=%3")
                                        .arg(row_select_list(*parent), ident(parent_table))
                                        .arg(key),
                                    row_select_width(*parent));
            Outcome out;
            out.kind = Outcome::Conflict;
            out.conflict = conflict(ConflictKind::ParentDeleted, *parent, QString::number(key),
                                    mapped(*parent, result_row(rows, 1, 0, *parent)), std::nullopt);
            return out;
        }
        if (decided->choice == SyncDecision::Stop) {
            Outcome wait;
            wait.kind = Outcome::Wait;
            wait.message = QStringLiteral("%1の競合を残したため、次の同期で送ります。").arg(parent_table);
            return wait;
        }
        if (decided->choice == SyncDecision::Office) {
            Outcome dropped;
            dropped.dropped = true;  // left out, as chosen
            return dropped;
        }
        const ResultTable rows = m_laptop.query_rows(QStringLiteral("select %1 from %2 where rowid=%3")
                                                         .arg(row_select_list(*parent), ident(parent_table))
                                                         .arg(key),
                                                     row_select_width(*parent));
        const SyncRow restored = mapped(*parent, result_row(rows, 1, 0, *parent));
        office_insert_with_key(*parent, restored);
        recompute_derived_columns(m_office, parent_table, QString::number(key));
        own(*parent, QString::number(key), restored);
    }
    return std::nullopt;
}

SyncConflict SyncRun::conflict(ConflictKind kind, const TableShape& shape, const QString& key,
                               const std::optional<SyncRow>& laptop,
                               const std::optional<SyncRow>& office) const {
    SyncConflict c;
    c.kind = kind;
    c.table = shape.name;
    c.key = key;
    c.laptop_exists = laptop.has_value();
    c.office_exists = office.has_value();
    c.caption = row_caption(shape, laptop ? *laptop : *office, key);
    for (int i = 0; i < shape.columns.size(); ++i) {
        if (shape.derived.at(i) || (i == shape.key && shape.identity == RowIdentity::Numbered))
            continue;
        c.columns << shape.columns.at(i);
        if (laptop) {
            c.laptop << laptop->value(i);
            c.laptop_nulls << laptop->is_null(i);
        }
        if (office) {
            c.office << office->value(i);
            c.office_nulls << office->is_null(i);
        }
    }
    return c;
}

SyncRow SyncRun::chosen_row(const TableShape& shape, const SyncRow& laptop, const SyncRow& office,
                            const SyncDecision& decision) const {
    if (decision.choice == SyncDecision::Laptop)
        return laptop;
    if (decision.choice == SyncDecision::Office)
        return office;
    SyncRow out = office;
    for (int c = 0; c < shape.columns.size() && c < laptop.values.size(); ++c) {
        if (decision.laptop_columns.contains(shape.columns.at(c))) {
            out.values[c] = laptop.values.at(c);
            out.nulls[c] = laptop.nulls.at(c);
        }
    }
    return out;
}

// The office row as shown in a question is still the office row now (or still missing).
bool still_as_asked(const TableShape& shape, const SyncConflict* asked, const std::optional<SyncRow>& now) {
    if (!asked)
        return true;
    if (asked->office_exists != now.has_value())
        return false;
    if (!now)
        return true;
    int i = 0;
    for (int c = 0; c < shape.columns.size(); ++c) {
        if (shape.derived.at(c) || (c == shape.key && shape.identity == RowIdentity::Numbered))
            continue;
        if (now->is_null(c) != asked->office_nulls.value(i) || now->value(c) != asked->office.value(i))
            return false;
        ++i;
    }
    return true;
}

Outcome SyncRun::apply_insert(Change& change, const SyncDecision* decision, const SyncConflict* asked) {
    const TableShape& shape = *change.shape;
    const SyncRow row = mapped(shape, *change.current);
    Transaction tx(m_office);
    Outcome out;
    QString key;
    if (shape.identity == RowIdentity::Unkeyed) {
        if (auto o = check_parents(shape, row, nullptr))
            return *o;
        office_insert(shape, row);
        own(shape, QString(), row);
        out.wrote = true;
    } else {
        const bool laptop_numbered = shape.identity == RowIdentity::Numbered && change.row >= kLaptopKeyBase;
        std::optional<SyncRow> there;
        if (!laptop_numbered) {
            // Put back under a key the office gave (a restore), or a named row: the key may be taken.
            key =
                shape.identity == RowIdentity::Numbered ? QString::number(change.row) : row.value(shape.key);
            there = office_row(shape, identity_where(shape, row, key));
        }
        if (there && !same_row(shape, *there, row, true)) {
            if (!decision || !still_as_asked(shape, asked, there)) {
                out.kind = Outcome::Conflict;
                out.conflict = conflict(ConflictKind::BothAdded, shape, key, row, there);
                return out;
            }
            const SyncRow wanted = chosen_row(shape, row, *there, *decision);
            const QString update = update_statement(shape, wanted, *there, identity_where(shape, row, key));
            if (!update.isEmpty()) {
                m_office.execute_sql(update);
                recompute_derived_columns(m_office, shape.name, key);
                own(shape, key, wanted);
                out.wrote = true;
            }
        } else if (!there) {
            if (auto o = check_parents(shape, row, nullptr))
                return *o;
            if (laptop_numbered) {
                key = office_insert(shape, row);
            } else if (shape.identity == RowIdentity::Numbered) {
                office_insert_with_key(shape, row);
            } else {
                office_insert(shape, row);
            }
            recompute_derived_columns(m_office, shape.name, key);
            own(shape, key, row);
            out.wrote = true;
        }
    }
    commit_sent(tx, change, key);
    if (shape.identity == RowIdentity::Numbered && change.row >= kLaptopKeyBase)
        m_keys[shape.name].insert(change.row, key.toLongLong());
    change.office_key = key;
    cut_point();
    return out;
}

Outcome SyncRun::apply_update(Change& change, const SyncDecision* decision, const SyncConflict* asked) {
    const TableShape& shape = *change.shape;
    const SyncRow row = mapped(shape, *change.current);
    const SyncRow base = mapped(shape, *change.base);
    const QString key = office_key_of(change);
    Transaction tx(m_office);
    Outcome out;
    std::optional<SyncRow> there;
    if (shape.identity == RowIdentity::Unkeyed) {
        // The office's row equal to the one taken out, whichever of equal rows it is.
        there = office_row(shape, identity_where(shape, base, key));
        if (there && !same_row(shape, *there, base, false))
            there.reset();
    } else {
        there = office_row(shape, identity_where(shape, base, key));
    }
    if (!there && shape.identity == RowIdentity::Unkeyed) {
        // The office made the same change already (both merged the same customers): nothing to do.
        const std::optional<SyncRow> same = office_row(shape, identity_where(shape, row, key));
        if (same && same_row(shape, *same, row, false)) {
            commit_sent(tx, change, key);
            cut_point();
            return out;
        }
    }
    const bool unchanged_there =
        there && same_row(shape, *there, base, shape.identity == RowIdentity::Numbered);
    if (!there) {
        const ConflictKind kind = shape.identity == RowIdentity::Unkeyed
                                      ? ConflictKind::RowNotFound
                                      : ConflictKind::ChangedHereDeletedThere;
        if (!decision || !still_as_asked(shape, asked, there)) {
            out.kind = Outcome::Conflict;
            out.conflict = conflict(kind, shape, key, row, std::nullopt);
            return out;
        }
        if (decision->choice != SyncDecision::Office) {
            // The laptop's row comes back, under its key.
            if (auto o = check_parents(shape, row, nullptr))
                return *o;
            if (shape.identity == RowIdentity::Numbered)
                office_insert_with_key(shape, row);
            else
                office_insert(shape, row);
            recompute_derived_columns(m_office, shape.name, key);
            own(shape, key, row);
            out.wrote = true;
        }
    } else if (unchanged_there || same_row(shape, *there, row, shape.identity == RowIdentity::Numbered)) {
        if (auto o = check_parents(shape, row, &base))
            return *o;
        const QString update = update_statement(shape, row, *there, identity_where(shape, base, key));
        if (!update.isEmpty()) {
            m_office.execute_sql(update);
            recompute_derived_columns(m_office, shape.name, key);
            own(shape, key, row);
            out.wrote = true;
        }
    } else {
        if (!decision || !still_as_asked(shape, asked, there)) {
            out.kind = Outcome::Conflict;
            out.conflict = conflict(ConflictKind::BothChanged, shape, key, row, there);
            return out;
        }
        const SyncRow wanted = chosen_row(shape, row, *there, *decision);
        if (auto o = check_parents(shape, wanted, &*there))
            return *o;
        const QString update = update_statement(shape, wanted, *there, identity_where(shape, base, key));
        if (!update.isEmpty()) {
            m_office.execute_sql(update);
            recompute_derived_columns(m_office, shape.name, key);
            own(shape, key, wanted);
            out.wrote = true;
        }
    }
    commit_sent(tx, change, key);
    change.office_key = key;
    cut_point();
    return out;
}

Outcome SyncRun::apply_delete(Change& change, const SyncDecision* decision, const SyncConflict* asked) {
    const TableShape& shape = *change.shape;
    const SyncRow base = mapped(shape, *change.base);
    const QString key = office_key_of(change);
    Transaction tx(m_office);
    Outcome out;
    std::optional<SyncRow> there = office_row(shape, identity_where(shape, base, key));
    if (there && shape.identity == RowIdentity::Unkeyed && !same_row(shape, *there, base, false))
        there.reset();
    QVector<int> entries = change.bundled;
    if (there) {
        const bool unchanged = same_row(shape, *there, base, shape.identity == RowIdentity::Numbered);
        bool remove = unchanged;
        bool keep_office_row = false;
        if (!unchanged) {
            if (!decision || !still_as_asked(shape, asked, there)) {
                out.kind = Outcome::Conflict;
                out.conflict =
                    conflict(ConflictKind::DeletedHereChangedThere, shape, key, std::nullopt, there);
                return out;
            }
            remove = decision->choice != SyncDecision::Office;
            keep_office_row = remove;  // the office's change goes to 削除済みデータ, not lost
        }
        if (remove) {
            const TableShape* entries_shape = find_shape(m_shapes, kDeletedRowsTable);
            if (keep_office_row && entries.isEmpty() && shape.identity != RowIdentity::Unkeyed) {
                remember_deleted_rows(m_office,
                                      {shape.name, shape.columns.at(shape.key), key,
                                       shape.identity == RowIdentity::Given && !shape.numeric.at(shape.key)},
                                      m_options.employee);
            }
            for (int i : std::as_const(entries)) {
                SyncRow entry = mapped(*entries_shape, *m_changes.at(i).current);
                if (keep_office_row) {
                    // The restorable copy holds the office's version, the one that was changed last.
                    const int content = entries_shape->column(QStringLiteral("内容"));
                    QJsonObject object = QJsonDocument::fromJson(entry.value(content).toUtf8()).object();
                    QJsonArray values;
                    for (int c = 0; c < shape.columns.size(); ++c)
                        values.append(there->is_null(c) ? QJsonValue() : QJsonValue(there->value(c)));
                    object.insert(QStringLiteral("columns"), QJsonArray::fromStringList(shape.columns));
                    object.insert(QStringLiteral("values"), values);
                    entry.values[content] =
                        QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
                }
                const QString entry_key = office_insert(*entries_shape, entry);
                own(*entries_shape, entry_key, entry);
                record(m_changes.at(i).id_seq(), kDeletedRowsTable, entry_key);
            }
            const QString head = QStringLiteral("delete from ") + ident(shape.name);
            const QString where = identity_where(shape, base, key);
            m_office.execute_sql(shape.identity == RowIdentity::Unkeyed
                                     ? one_row(shape, head, where)
                                     : head + QStringLiteral(" where ") + where);
            out.wrote = true;
        }
    }
    commit_sent(tx, change, key);
    change.office_key = key;
    cut_point();
    return out;
}

}  // namespace

namespace {

void SyncRun::refresh() {
    Transaction tx(m_laptop);
    set_recording(m_laptop, false);
    // Entries brought back, or with nothing to bring, leave the journal.
    QStringList gone;
    for (const Change& c : std::as_const(m_changes)) {
        for (qint64 seq : c.done_seqs)
            gone << QString::number(seq);
        if (c.state == ChangeState::Done)
            for (qint64 seq : c.seqs)
                gone << QString::number(seq);
    }
    for (qsizetype i = 0; i < gone.size(); i += 500)
        m_laptop.execute_sql(QStringLiteral("delete from [%1] where [連番] in (%2)")
                                 .arg(kJournalTable, gone.mid(i, 500).join(QLatin1Char(','))));

    // Rows whose changes wait (and rows changed while this sync ran) keep the laptop's version, with
    // the keys the office gave meanwhile.
    const ResultTable journal = m_laptop.query_rows(
        QStringLiteral(
            "select [連番],[テーブル名],[行],[種類],coalesce([元の行],'') from [%1] order by [連番]")
            .arg(kJournalTable),
        5);
    QHash<QString, KeptRows> kept;
    QSet<QString> seen;
    for (int r = 1; r <= journal.row_count(); ++r) {
        const QString table = journal(1, r);
        const TableShape* shape = find_shape(m_shapes, table);
        if (!shape)
            continue;
        const qint64 seq = journal(0, r).toLongLong();
        qint64 row = journal(2, r).toLongLong();
        const QString old_row = journal(4, r);
        if (shape->identity == RowIdentity::Numbered && row >= kLaptopKeyBase &&
            m_keys.value(table).contains(row)) {
            const qint64 office_key = m_keys.value(table).value(row);
            m_laptop.execute_sql(QStringLiteral("update %1 set rowid=%2 where rowid=%3")
                                     .arg(ident(table))
                                     .arg(office_key)
                                     .arg(row));
            m_laptop.execute_sql(
                QStringLiteral("update [%1] set [行]=%2 where [テーブル名]=%3 and [行]=%4")
                    .arg(kJournalTable, QString::number(office_key), sql_text(table), QString::number(row)));
            row = office_key;
        }
        if (!old_row.isEmpty()) {
            const SyncRow base = json_row(old_row);
            const SyncRow remapped = mapped(*shape, base);
            if (remapped.values != base.values) {
                QJsonArray values;
                for (int c = 0; c < remapped.values.size(); ++c)
                    values.append(remapped.is_null(c) ? QJsonValue() : QJsonValue(remapped.values.at(c)));
                m_laptop.execute_sql(QStringLiteral("update [%1] set [元の行]=%2 where [連番]=%3")
                                         .arg(kJournalTable,
                                              sql_text(QString::fromUtf8(
                                                  QJsonDocument(values).toJson(QJsonDocument::Compact))),
                                              QString::number(seq)));
            }
            if (shape->identity == RowIdentity::Given)
                kept[table].keys.insert(row_key_text(*shape, remapped));
        }
        const QString row_id = table + QLatin1Char('\x1f') + QString::number(row);
        if (seen.contains(row_id))
            continue;
        seen.insert(row_id);
        kept[table].rowids.insert(row);
        if (shape->identity == RowIdentity::Unkeyed && !old_row.isEmpty() &&
            journal(3, r) != QLatin1String("I"))
            kept[table].bases << mapped(*shape, json_row(old_row));
        const ResultTable now = m_laptop.query_rows(QStringLiteral("select %1 from %2 where rowid=%3")
                                                        .arg(row_select_list(*shape), ident(table))
                                                        .arg(row),
                                                    row_select_width(*shape));
        if (now.row_count() == 0)
            continue;
        const SyncRow current = result_row(now, 1, 0, *shape);
        const SyncRow remapped = mapped(*shape, current);
        if (shape->identity == RowIdentity::Given)
            kept[table].keys.insert(row_key_text(*shape, remapped));
        if (remapped.values == current.values)
            continue;
        QStringList sets;
        for (int c = 0; c < shape->columns.size(); ++c)
            if (remapped.values.at(c) != current.values.at(c))
                sets << ident(shape->columns.at(c)) + QLatin1Char('=') + row_literal(*shape, remapped, c);
        m_laptop.execute_sql(QStringLiteral("update %1 set %2 where rowid=%3")
                                 .arg(ident(table), sets.join(QLatin1Char(',')))
                                 .arg(row));
    }

    // Pieces holding a row the laptop changed are read whatever the office's checksums say.
    PieceSums pieces(m_laptop, m_office);
    for (const Change& c : std::as_const(m_changes)) {
        if (!c.shape)
            continue;
        for (const std::optional<SyncRow>* row : {&c.base, &c.current})
            if (row->has_value())
                pieces.mark(c.shape->name, **row, *c.shape);
        if (c.shape->identity == RowIdentity::Numbered) {
            SyncRow key_only;
            key_only.set(c.shape->key, QString::number(c.row));
            pieces.mark(c.shape->name, key_only, *c.shape);
        }
    }
    CopyCounts counts;
    {
        OfficeSnapshot snapshot(m_office);
        counts = copy_office_rows(
            m_laptop, m_office, m_shapes, kept, m_own, pieces,
            [&](int done, int, const QString& table) {
                if (m_options.progress && !table.isEmpty())
                    m_options.progress(m_done + done, m_total, QStringLiteral("受信中: ") + table);
            },
            [&] { cut_point(); });
    }
    pieces.save();
    number_laptop_rows_apart(m_laptop, m_shapes);
    install_journal_triggers(m_laptop, m_shapes);
    write_copy_info(m_laptop, QStringLiteral("最終同期日時"), copy_time_text(QDateTime::currentDateTime()));
    set_recording(m_laptop, true);
    cut_point();
    tx.commit();
    m_summary.received = counts.received;
}

// The laptop no longer holds the entries it brought back: the office forgets their identifiers.
void SyncRun::purge_applied() {
    m_office.execute_sql(
        QStringLiteral("delete from [%1] where [持ち出しID]=%2 and [連番] <= %3")
            .arg(kAppliedChangesTable, sql_text(m_info.copy_id), QString::number(m_last_seq)));
}

}  // namespace

QString SyncConflict::description() const {
    switch (kind) {
        case ConflictKind::BothChanged:
            return QStringLiteral("ノートPCと事務所の両方で変更されています。");
        case ConflictKind::ChangedHereDeletedThere:
            return QStringLiteral("ノートPCで変更しましたが、事務所では削除されています。");
        case ConflictKind::DeletedHereChangedThere:
            return QStringLiteral("ノートPCで削除しましたが、事務所では変更されています。");
        case ConflictKind::BothAdded:
            return QStringLiteral("ノートPCと事務所の両方で、同じキーの行が追加されています。");
        case ConflictKind::ParentDeleted:
            return QStringLiteral(
                "ノートPCでこの行に追加・変更したデータがありますが、事務所ではこの行が削除されています。"
                "ノートPCの内容を採用すると、この行を元に戻して送ります。"
                "事務所の内容を採用すると、追加・変更したデータは送りません。");
        case ConflictKind::RowNotFound:
            return QStringLiteral("ノートPCで変更した行が、事務所では変更または削除されています。");
    }
    return QString();
}

QStringList SyncConflict::differing_columns() const {
    QStringList out;
    for (int i = 0; i < columns.size(); ++i) {
        if (!laptop_exists || !office_exists || laptop.value(i) != office.value(i) ||
            laptop_nulls.value(i) != office_nulls.value(i))
            out << columns.at(i);
    }
    return out;
}

ConflictResolver fixed_resolver(SyncDecision::Choice choice) {
    return [choice](const SyncConflict&) {
        SyncDecision d;
        d.choice = choice;
        return d;
    };
}

QString SyncSummary::text() const {
    return QStringLiteral("%1 件送信, %2 件受信, %3 件の競合").arg(sent).arg(received).arg(conflicts);
}

QString SyncSummary::report() const {
    QStringList lines = {text()};
    if (!conflict_lines.isEmpty()) {
        lines << QString() << QStringLiteral("競合:");
        for (const QString& l : conflict_lines)
            lines << QStringLiteral("・") + l;
    }
    if (!failures.isEmpty()) {
        lines << QString() << QStringLiteral("事務所が受け付けなかった変更（次の同期でもう一度送ります）:");
        for (const QString& l : failures)
            lines << QStringLiteral("・") + l;
    }
    if (!held.isEmpty()) {
        lines << QString() << QStringLiteral("次の同期に回した変更:");
        for (const QString& l : held)
            lines << QStringLiteral("・") + l;
    }
    if (cancelled)
        lines << QString() << QStringLiteral("同期を途中で中止しました。送った変更はそのまま残ります。");
    return lines.join(QLatin1Char('\n'));
}

int SyncSummary::exit_status() const {
    if (!failures.isEmpty())
        return 1;
    return waiting > 0 || cancelled ? 3 : 0;
}

SyncSummary synchronize(Database& laptop, Database& office, const SyncOptions& options) {
    SyncRun run(laptop, office, options);
    return run.run();
}
