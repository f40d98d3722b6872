#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "db/database.h"
#include "db/text_index.h"

// Tables and columns added after the first release arrive through numbered steps. The database keeps
// the number of the last step applied in a table of the program's own (sales_schema); a database
// without it is at version 0. The design's tables and columns are never renamed or dropped, so older
// copies of the program and other tools keep reading them.
//
// A step: statements for each back-end, then (optionally) a function over the open database. Both
// must be safe to run again on MySQL/MariaDB, which commits each DDL statement on its own: a column
// or index that already exists is passed over, and functions only overwrite what they fill.
struct SchemaStep {
    int version;
    QString description;                             // for messages, Japanese
    std::function<QStringList(Dialect)> statements;  // may be empty
    std::function<void(Database&)> apply;            // may be empty; runs after the statements
};

// Every step in order; the last one's version is the version of this program's schema.
const std::vector<SchemaStep>& schema_steps();
int current_schema_version();

// The version kept in the database; 0 when it has no version table (made before the first step).
int stored_schema_version(Database& db);

// Brings the open database up to current_schema_version(). Returns false when it already was.
// before_changes(from, to) runs once before anything is changed (the caller backs up an embedded
// file there; it throws to refuse). The steps run in one transaction where the back-end allows it.
// A database newer than the program is refused with a DatabaseError and left untouched.
bool upgrade_schema(Database& db, const std::function<void(int from, int to)>& before_changes = {});

// For a new database, inside create_schema's transaction: the version table and every step.
void create_schema_version(Database& db);

// Step 4 keeps a customer's copies and match keys beside its fields (what they hold is the customer
// register's business: customers/customer_copies). From this version on they exist.
inline constexpr int kCustomerCopiesVersion = 4;
// MySQL/MariaDB stamp each customer row with the time of its last change, so that rows changed by an
// older copy of the program can be found at start.
inline const QString kCustomerChangedColumn = QStringLiteral("更新日時");
// The setting that holds when the start-up repair last compared changed rows with their stamps (on
// MySQL/MariaDB); made by step 4, so that PCs starting together can take turns on its row.
inline const QString kCustomerCopiesCheckedItem = QStringLiteral("顧客の写しの確認日時");
// The partial search's index of the customers' search text, where the back-end has none of its own.
const TextIndex& customer_text_index();
// Many customers inserted at once: the embedded file's trigram index stops taking rows in one by one
// (inside the insert's transaction), and takes in every row above after_key once at the end.
void pause_customer_search_index(Database& db);
void resume_customer_search_index(Database& db, qint64 after_key);
