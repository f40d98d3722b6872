#include "test_folder.h"

#include <QDir>

#include "app/startup.h"
#include "customers/customer_copies.h"
#include "customers/customer_store.h"
#include "db/schema.h"

TestFolder::TestFolder(const QDate& today) {
    if (!m_dir.isValid())
        qFatal("cannot create a temporary folder");
    m_session.program_folder = m_dir.path();
    m_session.clock.fix(today);
    {
        Database db;
        db.open_sqlite_file(database_path(), true);
        create_schema(db);
    }
    write_sales_ini(m_dir.path(), QStringLiteral("test"), QStringLiteral("Jet"), QStringLiteral("sales.mdb"));
    start_session(m_session);
}

QString TestFolder::database_path() const {
    return QDir(m_dir.path()).filePath(QStringLiteral("sales.mdb"));
}

QString TestFolder::add_employee(const QString& name) {
    exec(QStringLiteral("insert into 社員 (社員,社員かな,email,部署) values(%1,'','','')")
             .arg(sql_text(name)));
    return value(QStringLiteral("select max(社員ID) from 社員"));
}

QString TestFolder::add_customer(const QString& name, const QString& kana) {
    // With the folded copies the program keeps beside the reading, as its own save does.
    const CustomerCopies copies = customer_copies({name, kana});
    exec(QStringLiteral("insert into 顧客 (顧客名,顧客名かな,%1) values(%2,%3,%4)")
             .arg(customer_copy_columns().join(QLatin1Char(',')), sql_text(name), sql_text(kana),
                  customer_copy_literals(copies).join(QLatin1Char(','))));
    return value(QStringLiteral("select max(顧客ID) from 顧客"));
}

QString TestFolder::add_goods(const QString& name, const QString& price) {
    exec(QStringLiteral("insert into 商品 (分類コード,分類,商品名,単価) values(1,'事務用品',%1,%2)")
             .arg(sql_text(name), price.isEmpty() ? QStringLiteral("NULL") : price));
    return value(QStringLiteral("select max(商品ID) from 商品"));
}

void TestFolder::reload() {
    load_startup_data(m_session);
}
