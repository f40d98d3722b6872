#include "customers/csv_import.h"

#include <QDir>
#include <QFile>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "address/phone_number.h"
#include "app/sequential_values.h"
#include "app/table_csv.h"
#include "customers/csv_export.h"
#include "customers/customer_copies.h"
#include "customers/customer_store.h"
#include "db/bulk_journal.h"
#include "db/database.h"
#include "db/storage_error.h"
#include "records/number_text.h"

namespace {

enum class Kind { Customers, Goods };

struct Layout {
    int width;             // values per record
    QString error_prefix;  // put before every problem of the check
    QString what;          // 顧客, 商品
};

const Layout& layout(Kind kind) {
    static const Layout customers{13, QStringLiteral("インポート顧客　エラー　"), QStringLiteral("顧客")};
    static const Layout goods{4, QString(), QStringLiteral("商品")};
    return kind == Kind::Customers ? customers : goods;
}

struct Parsed {
    QStringList values;
    QString problem;               // empty when the file passed
    bool quote_left_open = false;  // the last value's opening quote is never closed
    bool exported = false;         // written by this program's export (its heading row, now removed)
};

bool read_values(const QString& path, Kind kind, Parsed& parsed) {
    const Layout& l = layout(kind);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        parsed.problem = l.error_prefix + QStringLiteral("ファイルを開けません: %1\n%2")
                                              .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    const std::optional<QString> text = decode_japanese_text(file.readAll());
    if (!text) {
        parsed.problem =
            l.error_prefix + QStringLiteral("ファイルの文字コードが UTF-8 でも Shift_JIS でもありません: %1")
                                 .arg(QDir::toNativeSeparators(path));
        return false;
    }
    SequentialReader reader(*text);
    QString value;
    while (reader.next(value))
        parsed.values << value;
    parsed.quote_left_open = reader.quote_left_open();
    return true;
}

// The record number (from 1) of the value at index i (from 0).
int record_of(int i, int width) {
    return i / width + 1;
}

QString where(int record) {
    return QStringLiteral("\n（%1 件目のデータ）").arg(record);
}

// A value as a message quotes it: a long one is cut after its first 40 characters.
QString excerpt(const QString& value) {
    constexpr int kMost = 40;
    if (value.size() <= kMost)
        return value;
    int n = kMost;
    if (value.at(n - 1).isHighSurrogate())
        --n;  // never split a character in two
    return value.left(n) + QChar(0x2026);
}

// The tests of the customer file, in reading order; stops at the first problem.
QString check_customers(const QStringList& values) {
    const QChar first_kana(0x3042);  // あ
    const QChar last_kana(0x3093);   // ん
    for (int i = 0; i < values.size(); ++i) {
        const QString& v = values.at(i);
        const int position = i % 13 + 1;
        QString problem;
        if (position == 1 && v.isEmpty())
            problem = QStringLiteral("顧客名エラー　：") + excerpt(v);
        else if (position == 2 && (v.isEmpty() || v.at(0) < first_kana || v.at(0) > last_kana))
            problem = QStringLiteral("かなエラー　：") + excerpt(v);
        else if (position == 10 && !v.contains(QLatin1Char('@')))
            problem = QStringLiteral("EMAIL エラー　：") + excerpt(v);
        if (!problem.isEmpty())
            return problem + where(record_of(i, 13));
    }
    return QString();
}

QString check_goods(const QStringList& values) {
    for (int i = 0; i < values.size(); ++i) {
        const int position = i % 4 + 1;
        if (position != 1 && position != 4)
            continue;
        // The code and the price are whole numbers other than 0 ("1,500" between quotes is 1500).
        const std::optional<QString> number = whole_number(values.at(i));
        if (!number || number->isEmpty() || number->toLongLong() == 0)
            return QStringLiteral("分類コードまたが単価が不正です : ") + excerpt(values.at(i)) +
                   where(record_of(i, 4));
    }
    return QString();
}

// A file this program exported holds what the database held: a customer made from mail without a
// name or reading, an address without @, goods without a price. Only values the columns cannot take
// are refused: numbers that are not numbers.
QString check_exported(Kind kind, const QStringList& values) {
    if (kind == Kind::Customers)
        return QString();
    for (int i = 0; i < values.size(); ++i) {
        const int position = i % 4 + 1;
        if ((position == 1 || position == 4) && !plain_number(values.at(i), QStringLiteral("NULL")))
            return QStringLiteral("分類コードまたが単価が不正です : ") + excerpt(values.at(i)) +
                   where(record_of(i, 4));
    }
    return QString();
}

// The export's heading row stands first: the file is taken back whole, each value as it was stored.
void take_export_heading(Kind kind, Parsed& parsed) {
    const QStringList& heading =
        kind == Kind::Customers ? customer_export_headings() : goods_export_headings();
    if (parsed.values.size() < heading.size() || parsed.values.mid(0, heading.size()) != heading)
        return;
    parsed.exported = true;
    parsed.values.remove(0, heading.size());
    for (QString& v : parsed.values)
        v = read_back_cell(v);
}

Parsed parse(const QString& path, Kind kind) {
    Parsed parsed;
    if (!read_values(path, kind, parsed))
        return parsed;
    take_export_heading(kind, parsed);
    const Layout& l = layout(kind);
    const QString problem = parsed.exported           ? check_exported(kind, parsed.values)
                            : kind == Kind::Customers ? check_customers(parsed.values)
                                                      : check_goods(parsed.values);
    if (!problem.isEmpty()) {
        parsed.problem = l.error_prefix + problem;
        return parsed;
    }
    if (parsed.quote_left_open) {
        // The open value swallowed every record after it: refuse rather than import them as text.
        const int record = record_of(parsed.values.size() - 1, l.width);
        parsed.problem =
            l.error_prefix + QStringLiteral(
                                 "ダブルクォート（\"）が閉じられていません（%1 件目のデータで開いた"
                                 "まま、ファイルの終わりまで続いています）：%2")
                                 .arg(record)
                                 .arg(excerpt(parsed.values.last()));
        return parsed;
    }
    const int rest = parsed.values.size() % l.width;
    if (rest != 0) {
        // Reading on would run past the end of the file: the last record is incomplete.
        const int record = record_of(parsed.values.size() - 1, l.width);
        parsed.problem = l.error_prefix + QStringLiteral(
                                              "最後のデータが不完全です（%1 件目：値が %2 個のうち %3 "
                                              "個しかありません）：%4")
                                              .arg(record)
                                              .arg(l.width)
                                              .arg(rest)
                                              .arg(excerpt(parsed.values.at(parsed.values.size() - rest)));
    }
    return parsed;
}

CsvResult validate(const QString& path, Kind kind) {
    const Parsed parsed = parse(path, kind);
    if (!parsed.problem.isEmpty())
        return {false, parsed.problem, 0};
    return {true, QString(), int(parsed.values.size() / layout(kind).width)};
}

QString insert_table(Kind kind) {
    return kind == Kind::Customers ? QStringLiteral("顧客") : QStringLiteral("商品");
}

QStringList insert_columns(Kind kind) {
    if (kind == Kind::Goods)
        return {"分類コード", "分類", "商品名", "単価"};
    return QStringList{"顧客名", "顧客名かな", "都道府県", "郵便番号1", "郵便番号2",  "住所", "TEL",
                       "FAX",    "携帯",       "Email",    "担当者",    "担当者かな", "備考"} +
           customer_copy_columns();
}

// The values of the record starting at value index first, as the next row of out.
void add_row(Kind kind, const QStringList& values, int first, bool exported, ReadyRows& out) {
    if (kind == Kind::Customers) {
        for (int k = 0; k < 13; ++k)
            out.add(values.at(first + k));
        // The file's first eleven values stand in field order: the copies come from them.
        for (const QVariant& copy : customer_copy_values(customer_copies(values.mid(first, 11))))
            out.add(copy);
    } else if (exported) {
        // As the database held them: an empty number was NULL.
        auto number = [](const QString& v) {
            const QString n = *plain_number(v, QStringLiteral("NULL"));
            return n == QLatin1String("NULL") ? QVariant() : QVariant(n);
        };
        out.add(number(values.at(first)));
        out.add(values.at(first + 1));
        out.add(values.at(first + 2));
        out.add(number(values.at(first + 3)));
    } else {
        // The numbers were checked as whole numbers; they go in as texts, as the goods screen writes them.
        out.add(*whole_number(values.at(first)));
        out.add(values.at(first + 1));
        out.add(values.at(first + 2));
        out.add(*whole_number(values.at(first + 3)));
    }
    out.end_row();
}

// The rows of the batches, made one after the other in a thread of their own while the caller stores
// the ones before (folding, the copies and readying the values cost about as much as storing): at
// most two batches ahead.
class RowMaker {
public:
    using Rows = ReadyRows;
    RowMaker(int batches, std::function<Rows(int)> make) : m_batches(batches), m_make(std::move(make)) {
        m_thread = std::thread([this] { run(); });
    }
    ~RowMaker() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    RowMaker(const RowMaker&) = delete;
    RowMaker& operator=(const RowMaker&) = delete;

    // The next batch's rows, in order; rethrows what making them threw.
    Rows next() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_ready.empty() || m_failure; });
        if (m_ready.empty())
            std::rethrow_exception(m_failure);
        Rows rows = std::move(m_ready.front());
        m_ready.pop_front();
        m_changed.notify_all();
        return rows;
    }

private:
    void run() {
        for (int b = 0; b < m_batches; ++b) {
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_changed.wait(lock, [this] { return m_stop || m_ready.size() < 2; });
                if (m_stop)
                    return;
            }
            Rows rows;
            try {
                rows = m_make(b);
            } catch (...) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_failure = std::current_exception();
                m_changed.notify_all();
                return;
            }
            std::lock_guard<std::mutex> lock(m_mutex);
            m_ready.push_back(std::move(rows));
            m_changed.notify_all();
        }
    }

    const int m_batches;
    const std::function<Rows(int)> m_make;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Rows> m_ready;
    std::exception_ptr m_failure;
    bool m_stop = false;
    std::thread m_thread;
};

CsvResult import(Database& db, const QString& path, Kind kind, const ImportProgress& progress,
                 const QSet<int>& skip = {}, const CustomerImportOptions& options = {}) {
    Parsed parsed = parse(path, kind);
    if (!parsed.problem.isEmpty())
        return {false, parsed.problem, 0};
    if (kind == Kind::Customers && options.format_phones)
        for (qsizetype i = 0; i < parsed.values.size(); ++i)
            if (const qsizetype position = i % 13; position >= 6 && position <= 8)  // TEL, FAX, 携帯
                parsed.values[i] = format_phone_number(parsed.values.at(i)).text;
    const Layout& l = layout(kind);
    QVector<int> chosen;  // the records that go in
    for (int i = 0; i < int(parsed.values.size() / l.width); ++i)
        if (!skip.contains(i))
            chosen << i;
    const int total = int(chosen.size());
    const QString table = insert_table(kind);
    const QStringList columns = insert_columns(kind);
    // Records go in a few hundred at a time (on a shared server as one statement, which every
    // back-end takes that long); a refused statement of many rows is retried one record at a time to
    // name the record the database refuses, unless the refusal may have ended the transaction (a full
    // disk, an I/O error): a retry would then store rows outside it.
    const int batch = 250;
    try {
        const BulkJournal journal(db);
        Transaction transaction(db);
        std::optional<CustomerBulkInsert> customers;
        if (kind == Kind::Customers)
            customers.emplace(db);
        const Dialect dialect = db.dialect();
        RowMaker maker((total + batch - 1) / batch, [&](int b) {
            ReadyRows rows(dialect);
            for (int i = b * batch; i < qMin(total, (b + 1) * batch); ++i)
                add_row(kind, parsed.values, chosen.at(i) * l.width, parsed.exported, rows);
            return rows;
        });
        for (int r = 0; r < total; r += batch) {
            if (progress && !progress(r, total))
                return {false,
                        QStringLiteral("読み込みを中止しました。%1は 1 件も登録していません。").arg(l.what),
                        0};
            const int n = qMin(batch, total - r);
            const RowMaker::Rows rows = maker.next();
            auto refused = [&](int i, const DatabaseError& e) {
                const QString name =
                    parsed.values.at(chosen.at(i) * l.width + (kind == Kind::Customers ? 0 : 2));
                return DatabaseError(QStringLiteral("%1 件目のデータ（%2）を登録できませんでした: %3")
                                         .arg(chosen.at(i) + 1)
                                         .arg(excerpt(name), e.message()));
            };
            int failed = -1;
            try {
                db.insert_rows(table, columns, rows, &failed);
                continue;
            } catch (const DatabaseError& e) {
                // A busy file, a full disk or an I/O error is no record's fault: it is reported as it
                // is, and the batch is never retried after the back-end may have ended the transaction.
                if (e.message() == kDatabaseBusyMessage || refusal_ends_transaction(e.message()))
                    throw;
                if (failed >= 0)
                    throw refused(r + failed, e);
            }
            for (int i = r; i < r + n; ++i) {
                try {
                    db.insert_rows(table, columns, rows.row(i - r));
                } catch (const DatabaseError& e) {
                    throw refused(i, e);
                }
            }
        }
        if (customers)
            customers->finish();
        transaction.commit();
    } catch (const DatabaseError& e) {
        return {false, e.message() + QStringLiteral("\n%1は 1 件も登録していません。").arg(l.what), 0};
    }
    if (progress)
        progress(total, total);
    QString message = QStringLiteral(" %1を %2 読み込みました").arg(l.what).arg(total);
    if (!skip.isEmpty())
        message += QStringLiteral("（重複の可能性がある %1 件は読み込みませんでした）").arg(skip.size());
    return {true, message, total};
}

}  // namespace

CsvResult validate_customer_csv(const QString& path) {
    return validate(path, Kind::Customers);
}

CsvResult validate_goods_csv(const QString& path) {
    return validate(path, Kind::Goods);
}

CsvResult import_customer_csv(Database& db, const QString& path, const ImportProgress& progress,
                              const QSet<int>& skip, const CustomerImportOptions& options) {
    return import(db, path, Kind::Customers, progress, skip, options);
}

QVector<QStringList> read_customer_records(const QString& path) {
    const Parsed parsed = parse(path, Kind::Customers);
    QVector<QStringList> records;
    if (!parsed.problem.isEmpty())
        return records;
    for (int i = 0; i + 13 <= parsed.values.size(); i += 13)
        records << parsed.values.mid(i, 13);
    return records;
}

CsvResult import_goods_csv(Database& db, const QString& path, const ImportProgress& progress) {
    return import(db, path, Kind::Goods, progress);
}
