#include "sync_support.h"

#include <QDir>

#include "app/startup.h"
#include "customers/customer_copies.h"
#include "db/schema.h"
#include "db/schema_upgrade.h"
#include "sync/checkout.h"

LaptopCopy::LaptopCopy(Database& office, const OfficeIdentity& identity, const QDate& today,
                       const QString& employee) {
    if (!m_dir.isValid())
        qFatal("cannot create a temporary folder");
    CheckoutOptions options;
    options.folder = path();
    options.employee = employee;
    take_out(office, identity, options);
    m_session = std::make_unique<Session>();
    m_session->program_folder = path();
    m_session->clock.fix(today);
    start_session(*m_session);
}

void LaptopCopy::reopen() {
    const QDate today = m_session->clock.today();
    m_session = std::make_unique<Session>();
    m_session->program_folder = path();
    m_session->clock.fix(today);
    start_session(*m_session);
}

SyncSummary LaptopCopy::sync(SyncDecision::Choice choice, const std::function<void(int, int)>& cut) {
    return sync(choice == SyncDecision::Stop ? ConflictResolver() : fixed_resolver(choice), cut);
}

SyncSummary LaptopCopy::sync(const ConflictResolver& resolve, const std::function<void(int, int)>& cut) {
    Database office;
    open_office(office, read_copy_info(db()));
    SyncOptions options;
    options.employee = QStringLiteral("ノート");
    options.resolve = resolve;
    options.cut = cut;
    return synchronize(db(), office, options);
}

QStringList table_dump(Database& db, const QString& table, bool with_derived) {
    QStringList columns;
    for (const QString& c : db.column_names(QStringLiteral("select * from [%1] where 1=0").arg(table)))
        if (with_derived || !(table == QStringLiteral("顧客") && is_customer_copy_column(c)))
            columns << c;
    QStringList select, order;
    for (const QString& c : columns) {
        select << QStringLiteral("[%1]").arg(c)
               << QStringLiteral("case when [%1] is null then 1 else 0 end").arg(c);
        order << QStringLiteral("[%1]").arg(c);
    }
    const ResultTable rows = db.query_rows(
        QStringLiteral("select %1 from [%2] order by %3").arg(select.join(','), table, order.join(',')),
        int(select.size()));
    QStringList out;
    for (int r = 1; r <= rows.row_count(); ++r) {
        QStringList cells;
        for (int c = 0; c < columns.size(); ++c) {
            QString v = rows(2 * c + 1, r) == QLatin1String("1") ? QStringLiteral("(null)") : rows(2 * c, r);
            bool number = false;
            const double d = v.toDouble(&number);
            if (number && d == qint64(d))
                v = QString::number(qint64(d));  // 10 and 10.0 are one number on every back-end
            cells << v;
        }
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

QStringList database_dump(Database& db) {
    QStringList out;
    for (const TableDef& t : schema_tables()) {
        out << QStringLiteral("== ") + t.name;
        out << table_dump(db, t.name);
    }
    return out;
}
