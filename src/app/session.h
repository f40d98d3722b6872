#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>

#include "app/clock.h"
#include "app/mailing_list.h"
#include "db/database.h"

// One entry of テーブル項目: an activity table the record list shows.
struct TableItem {
    QString table_name;
    int field_count = 0;
    QString key_field;
    QStringList field_names;  // eight names, position 0 repeats the key field
};

// Run-wide values, created at start-up and handed to every window.
class Session {
public:
    Session() : db(std::make_unique<Database>()) {}

    std::unique_ptr<Database> db;
    Clock clock;
    QString program_folder;

    // From sales.ini.
    QString first_entry;
    QString db_kind;
    QString database_name;

    // Loaded at start-up.
    QString current_employee;
    QStringList employee_names;  // in the order the database returned them
    QString company_key;
    QStringList company_settings;  // positions 0 to 15; 1 to 14 hold the columns of 自社情報 after id
    QString tax_rate;
    QVector<TableItem> table_items;

    // Set by the main window.
    QString current_customer_id;
    QString current_customer_name;
    int history_scope = 0;
    int selected_table = -1;
    int selected_field_count = 0;

    // Names collected by the analyses for a broadcast mail ("同報メールへ追加"), read by the mail screens.
    MailingList mailing_list;

    int employee_count() const { return employee_names.size(); }
    QString company_setting(int position) const {
        return position >= 0 && position < company_settings.size() ? company_settings.at(position)
                                                                   : QString();
    }
    // 業種タイプ: no (goods trade) is stored as 0.
    bool sells_goods() const {
        const QString v = company_setting(14).trimmed().toLower();
        return v == QLatin1String("0") || v == QLatin1String("false") || v == QLatin1String("no");
    }
};
