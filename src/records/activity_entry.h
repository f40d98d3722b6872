#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>

#include "db/database.h"

// How a Text1 box of the small entry screens is stored.
enum class BoxKind {
    Text,    // between quotes, as typed
    Date,    // between quotes, after the date checks
    Amount,  // bare, commas removed; empty stores 0; shown with thousands separators
    Rate,    // bare, as typed; must be a number
};

// What a box holds when the screen opens.
enum class Opening { Empty, Employee, Today, Zero, TaxRate };

struct ActivityBox {
    QString caption;
    BoxKind kind = BoxKind::Text;
    Opening opening = Opening::Empty;
};

// One date test of "保存": the box and the message shown when it fails.
struct DateCheck {
    int box = 0;
    QString message;
};

// One of the four small entry screens, described completely by data.
struct ActivityKind {
    QString screen;   // object name of the window
    QString caption;  // window title
    QVector<ActivityBox> boxes;
    QVector<DateCheck> date_checks;  // run in this order, every one of them
    QString statement_prefix;        // the values follow in box order
};

enum class Activity { Visit, Estimate, Claim, Inquiry };

const ActivityKind& activity_kind(Activity activity);

// The box texts a screen opens with.
QStringList activity_opening_values(const ActivityKind& kind, const QString& employee, const QString& today,
                                    const QString& tax_rate);

// Runs every date check (rewriting each box that passes in canonical form), then the number checks,
// then stores the row. Returns the messages to show, in order; empty when the row was stored.
QStringList save_activity(Database& db, const ActivityKind& kind, const QString& customer_id,
                          QStringList& boxes, const QDate& today);
