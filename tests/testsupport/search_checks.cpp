#include "search_checks.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "app/session.h"
#include "customers/csv_import.h"
#include "customers/customer_copies.h"
#include "customers/customer_merge.h"
#include "customers/customer_store.h"
#include "customers/duplicates.h"
#include "db/database.h"
#include "db/deleted_rows.h"
#include "mail/fetch_mail.h"

namespace search_checks {

namespace {

// name, reading, address, TEL, FAX, 携帯, Email, 担当者
QStringList fields_of(const QStringList& v) {
    QStringList fields(kCustomerFieldCount);
    const int at[] = {0, 1, 5, 6, 7, 8, 9, 10};
    for (int i = 0; i < v.size(); ++i)
        fields[at[i]] = v.at(i);
    return fields;
}

QString id_of(Database& db, const QString& name) {
    return db.query_rows(QStringLiteral("select 顧客ID from 顧客 where 顧客名=") + sql_text(name), 1)(0, 1);
}

QStringList names_of(Database& db, const QVector<QString>& ids) {
    QStringList names;
    for (const QString& n : customer_names(db, ids))
        names << n;
    names.sort();
    return names;
}

void expect(Database& db, const QString& kind, const QString& typed, QStringList expected) {
    expected.sort();
    const QStringList got = found(db, kind, typed);
    QVERIFY2(got == expected, qPrintable(QStringLiteral("%1「%2」: %3 （期待 %4）")
                                             .arg(kind, typed, got.join(u'/'), expected.join(u'/'))));
}

QString kept_entry(Database& db) {
    const QVector<DeletedEntry> entries = list_deleted_rows(db);
    return entries.isEmpty() ? QString() : entries.first().id;
}

}  // namespace

void add_customers(Database& db) {
    const QList<QStringList> customers = {
        {"山田商事", "やまだしょうじ", "東京都千代田区1-2-3", "03-1234-5678", "", "", "Yamada@Example.jp",
         "田中"},
        {"鈴木工業", "すずきこうぎょう", "大阪市北区", "", "06-6789-0000", "090-8888-7777", "info@example.jp",
         "さとう"},
        {"ｶﾀﾔﾏ商店", "カタヤマしょうてん", "横浜市中区", "045-111-2222", "", "", "", ""},
        {"100%天然", "ひゃくぱーせんと", "a_b!c町", "", "", "", "", ""},
        {"O'Reilly商会", "おらいりー", "札幌市", "011-222-3333", "", "", "o'reilly@example.com", ""},
        {"ガス工業", "がすこうぎょう", "名古屋市", "", "", "", "", ""},
        {QString::fromUtf8("\xF0\xA0\xAE\xB7野家"), "よしのや", "福岡市", "", "", "", "", ""},
    };
    for (const QStringList& c : customers)
        insert_customer(db, fields_of(c));
}

void add_search_rows() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("expected");
    const QString yoshinoya = QString::fromUtf8("\xF0\xA0\xAE\xB7野家");
    QTest::newRow("reading, half-width") << "reading"
                                         << "ｶﾀ" << QStringList{"ｶﾀﾔﾏ商店"};
    QTest::newRow("reading over katakana") << "reading"
                                           << "かた" << QStringList{"ｶﾀﾔﾏ商店"};
    QTest::newRow("reading, voiced") << "reading"
                                     << "が" << QStringList{"ガス工業"};
    QTest::newRow("reading, unvoiced") << "reading"
                                       << "か" << QStringList{"ｶﾀﾔﾏ商店"};
    QTest::newRow("reading, percent as text") << "reading"
                                              << "ひゃく%" << QStringList{};
    QTest::newRow("reading, underscore as text") << "reading"
                                                 << "ひ_" << QStringList{};
    QTest::newRow("reading, katakana typed") << "reading"
                                             << "ヨシ" << QStringList{yoshinoya};
    QTest::newRow("partial address") << "partial"
                                     << "千代田" << QStringList{"山田商事"};
    QTest::newRow("partial phone digits") << "partial"
                                          << "0312" << QStringList{"山田商事"};
    QTest::newRow("partial phone with hyphens") << "partial"
                                                << "03-1234-56" << QStringList{"山田商事"};
    QTest::newRow("partial phone, full width with blank") << "partial"
                                                          << "０９０ ８８" << QStringList{"鈴木工業"};
    QTest::newRow("partial mail, letter case") << "partial"
                                               << "YAMADA@EX" << QStringList{"山田商事"};
    QTest::newRow("partial mail domain") << "partial"
                                         << "example" << QStringList{"山田商事", "鈴木工業", "O'Reilly商会"};
    QTest::newRow("partial percent as text") << "partial"
                                             << "0%" << QStringList{"100%天然"};
    QTest::newRow("partial underscore as text") << "partial"
                                                << "a_b" << QStringList{"100%天然"};
    QTest::newRow("partial underscore at start") << "partial"
                                                 << "_b" << QStringList{"100%天然"};
    QTest::newRow("partial exclamation mark") << "partial"
                                              << "b!c" << QStringList{"100%天然"};
    QTest::newRow("partial quote") << "partial"
                                   << "'R" << QStringList{"O'Reilly商会"};
    QTest::newRow("partial half-width name") << "partial"
                                             << "ｶﾀﾔﾏ" << QStringList{"ｶﾀﾔﾏ商店"};
    QTest::newRow("partial outside the basic plane")
        << "partial" << yoshinoya.left(3) << QStringList{yoshinoya};
    QTest::newRow("partial across two fields") << "partial"
                                               << "事東" << QStringList{};
    QTest::newRow("partial two characters at a field's end") << "partial"
                                                             << "商事" << QStringList{"山田商事"};
    // "1-" is also looked for as its digit "1": every customer holding a 1 anywhere.
    QTest::newRow("partial phone-like with one digit")
        << "partial"
        << "1-" << QStringList{"山田商事", "ｶﾀﾔﾏ商店", "100%天然", "O'Reilly商会"};
    QTest::newRow("partial one character") << "partial"
                                           << "山" << QStringList{};
    QTest::newRow("check name with a blank") << "check"
                                             << "name:山田　商事" << QStringList{"山田商事"};
    QTest::newRow("check name half-width") << "check"
                                           << "name:ｶﾀﾔﾏ 商店" << QStringList{"ｶﾀﾔﾏ商店"};
    QTest::newRow("check name with percent") << "check"
                                             << "name:100%" << QStringList{};
    QTest::newRow("check phone in brackets") << "check"
                                             << "tel:(03)1234 5678" << QStringList{"山田商事"};
    QTest::newRow("check phone against a FAX") << "check"
                                               << "tel:0667890000" << QStringList{"鈴木工業"};
    QTest::newRow("check mobile against a TEL") << "check"
                                                << "mobile:045-111-2222" << QStringList{"ｶﾀﾔﾏ商店"};
    QTest::newRow("check five digits") << "check"
                                       << "tel:12345" << QStringList{};
    QTest::newRow("check mail, letter case") << "check"
                                             << "mail:INFO@EXAMPLE.JP" << QStringList{"鈴木工業"};
    QTest::newRow("check mail with a quote") << "check"
                                             << "mail:o'reilly@example.com" << QStringList{"O'Reilly商会"};
    QTest::newRow("check mail with a wildcard") << "check"
                                                << "mail:%@example.jp" << QStringList{};
}

QStringList found(Database& db, const QString& kind, const QString& typed) {
    if (kind == QLatin1String("reading"))
        return names_of(db, search_customer_ids(db, typed));
    if (kind == QLatin1String("partial"))
        return names_of(db, partial_search_customer_ids(db, typed));
    const QString field = typed.section(u':', 0, 0);
    const QString value = typed.section(u':', 1);
    QStringList fields(kCustomerFieldCount);
    const int at = field == QLatin1String("name")     ? 0
                   : field == QLatin1String("tel")    ? 6
                   : field == QLatin1String("fax")    ? 7
                   : field == QLatin1String("mobile") ? 8
                                                      : 9;
    fields[at] = value;
    const std::optional<DuplicateMatch> match = find_duplicate_customer(db, fields);
    return match ? QStringList{match->customer_name} : QStringList{};
}

void add_write_path_rows() {
    QTest::addColumn<QString>("path");
    for (const char* path : {"save", "change", "delete", "restore", "merge", "undo", "import", "mail"})
        QTest::newRow(path) << path;
}

void check_write_path(Session& session, const QString& path) {
    Database& db = *session.db;
    add_customers(db);
    if (path == QLatin1String("save")) {
        insert_customer(db, fields_of({"函館物産", "はこだてぶっさん", "函館市", "0138-11-2222"}));
        expect(db, "partial", "函館", {"函館物産"});
        expect(db, "reading", "ハコ", {"函館物産"});
        expect(db, "check", "tel:0138112222", {"函館物産"});
    } else if (path == QLatin1String("change")) {
        const QString id = id_of(db, "山田商事");
        QCOMPARE(update_customer(db,
                                 fields_of({"山田物産", "やまだぶっさん", "京都市下京区", "075-111-3333", "",
                                            "", "Yamada@Example.jp", "田中"}),
                                 id),
                 WriteCheck::Clear);
        expect(db, "partial", "京都", {"山田物産"});
        expect(db, "partial", "千代田", {});
        expect(db, "partial", "0312", {});
        expect(db, "reading", "やまだぶ", {"山田物産"});
        expect(db, "reading", "やまだし", {});
        expect(db, "check", "tel:03-1234-5678", {});
        expect(db, "check", "tel:075-111-3333", {"山田物産"});
        expect(db, "check", "name:山田商事", {});
    } else if (path == QLatin1String("delete") || path == QLatin1String("restore")) {
        QCOMPARE(delete_customer(db, id_of(db, "鈴木工業"), "佐藤"), WriteCheck::Clear);
        expect(db, "partial", "info@ex", {});
        expect(db, "check", "mail:info@example.jp", {});
        expect(db, "reading", "すずき", {});
        if (path == QLatin1String("restore")) {
            QCOMPARE(restore_deleted_entry(db, kept_entry(db)), QString());
            expect(db, "partial", "info@ex", {"鈴木工業"});
            expect(db, "check", "fax:06-6789-0000", {"鈴木工業"});
            expect(db, "reading", "すずき", {"鈴木工業"});
        }
    } else if (path == QLatin1String("merge") || path == QLatin1String("undo")) {
        // ガス工業 keeps its address and takes 鈴木工業's FAX, 携帯, mail and contact.
        merge_customers(db, id_of(db, "ガス工業"), id_of(db, "鈴木工業"), "佐藤");
        expect(db, "partial", "info@ex", {"ガス工業"});
        expect(db, "partial", "さとう", {"ガス工業"});
        expect(db, "check", "mail:info@example.jp", {"ガス工業"});
        expect(db, "reading", "すずき", {});
        if (path == QLatin1String("undo")) {
            // The fields the merge filled are empty again, and the copies with them.
            QCOMPARE(restore_deleted_entry(db, kept_entry(db)), QString());
            expect(db, "partial", "info@ex", {"鈴木工業"});
            expect(db, "partial", "さとう", {"鈴木工業"});
            expect(db, "partial", "08888", {"鈴木工業"});
            expect(db, "partial", "名古屋", {"ガス工業"});  // found by what it kept
            expect(db, "check", "mail:info@example.jp", {"鈴木工業"});
            expect(db, "check", "mobile:090-8888-7777", {"鈴木工業"});
            expect(db, "reading", "すずき", {"鈴木工業"});
        }
    } else if (path == QLatin1String("import")) {
        QTemporaryDir dir;
        const QString file = QDir(dir.path()).filePath(QStringLiteral("in.csv"));
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(
            "\"ﾀﾞｲｺｸ屋\",だいこくや,北海道,060,0001,\"函館市元町1-1\",0138-22-3333,,,d@example.jp,,,\r\n"
            "\"50%商店\",ごじゅっぱー,青森県,030,0001,青森市,,,,\"x_y@example.jp\",,,\r\n");
        out.close();
        QVERIFY(import_customer_csv(db, file).ok);
        expect(db, "partial", "元町", {"ﾀﾞｲｺｸ屋"});
        expect(db, "partial", "0%商", {"50%商店"});
        expect(db, "reading", "ダイ", {"ﾀﾞｲｺｸ屋"});
        expect(db, "check", "tel:0138223333", {"ﾀﾞｲｺｸ屋"});
        expect(db, "check", "mail:X_Y@example.jp", {"50%商店"});
    } else if (path == QLatin1String("mail")) {
        // A customer the mail intake makes has only its address; its name reads as NULL ("-").
        register_mail(session, QStringLiteral("見積依頼"), QStringLiteral("新しい客 <Newbie@Mail.Example>"),
                      QStringLiteral("本文"));
        expect(db, "partial", "newbie@mail", {"-"});
        expect(db, "check", "mail:NEWBIE@mail.example", {"-"});
    } else {
        QFAIL("unknown write path");
    }
}

void add_older_copy_rows() {
    QTest::addColumn<QString>("change");
    for (const char* change : {"change", "change with search columns", "insert", "delete"})
        QTest::newRow(change) << change;
}

void write_as_older_copy(Database& db, const QString& change) {
    // The statements as a copy of the program from before the copies writes them.
    if (change == QLatin1String("change"))
        db.execute_sql(
            QStringLiteral("update 顧客 set 顧客名='片山工業', 顧客名かな='かたやまこうぎょう', "
                           "住所='仙台市', TEL='022-333-4444' where 顧客名='ｶﾀﾔﾏ商店'"));
    else if (change == QLatin1String("change with search columns")) {
        // The release before the match keys saved the folded reading and search text with the row.
        const CustomerCopies copies =
            customer_copies(fields_of({"片山工業", "かたやまこうぎょう", "仙台市", "022-333-4444"}));
        db.execute_sql(QStringLiteral("update 顧客 set 顧客名='片山工業', 顧客名かな='かたやまこうぎょう', "
                                      "住所='仙台市', TEL='022-333-4444', 検索かな=%1, 検索文字列=%2 "
                                      "where 顧客名='ｶﾀﾔﾏ商店'")
                           .arg(sql_text(copies.reading), sql_text(copies.text)));
    } else if (change == QLatin1String("insert"))
        db.execute_sql(
            QStringLiteral("insert into 顧客 (顧客名,顧客名かな,住所,TEL) "
                           "values('青木商店','あおきしょうてん','函館市','099-111-2222')"));
    else
        db.execute_sql(QStringLiteral("delete from 顧客 where 顧客名='山田商事'"));
}

void check_after_start(Database& db, const QString& change) {
    if (change.startsWith(QLatin1String("change"))) {
        expect(db, "partial", "仙台", {"片山工業"});
        expect(db, "partial", "横浜", {});
        expect(db, "reading", "かたやまこ", {"片山工業"});
        expect(db, "reading", "かたやまし", {});
        expect(db, "check", "tel:0223334444", {"片山工業"});
        expect(db, "check", "tel:045-111-2222", {});
        expect(db, "check", "name:ｶﾀﾔﾏ商店", {});
    } else if (change == QLatin1String("insert")) {
        expect(db, "partial", "函館", {"青木商店"});
        expect(db, "reading", "あおき", {"青木商店"});
        expect(db, "check", "tel:099-111-2222", {"青木商店"});
    } else {
        expect(db, "partial", "千代田", {});
        expect(db, "partial", "example", {"鈴木工業", "O'Reilly商会"});
        expect(db, "check", "tel:03-1234-5678", {});
    }
}

}  // namespace search_checks
