#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

#include "sync/office.h"

class Database;

struct CheckoutOptions {
    QString folder;                                    // the new program folder (empty or not yet there)
    QString employee;                                  // who takes it out
    QString first_entry = QStringLiteral("営業手帳");  // sales.ini's first value
    QString help_source;                               // help/index.html to copy into the folder, if any
    // Called for each table; false stops (nothing is left behind).
    std::function<bool(int done, int total, const QString& table)> progress;
};

struct CheckoutResult {
    QString folder;
    QString copy_id;
    QDateTime taken_at;
    int customers = 0;
    int orders = 0;
};

// 持ち出し: writes a program folder for a laptop holding an embedded copy of every table of the
// office database, what it was taken from and when, and the journal that keeps the laptop's
// changes for the return. The folder is whole or not there: sales.ini is written last, and a copy
// that could not be completed is removed. Throws DatabaseError.
CheckoutResult take_out(Database& office, const OfficeIdentity& office_identity,
                        const CheckoutOptions& options);
