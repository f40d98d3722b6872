#include "records/activity_entry.h"

#include <optional>

#include "records/check.h"
#include "records/number_text.h"
#include "records/order_entry.h"

namespace {

ActivityBox text(const char* caption) {
    return {QString::fromUtf8(caption), BoxKind::Text, Opening::Empty};
}
ActivityBox employee() {
    return {QStringLiteral("社員"), BoxKind::Text, Opening::Employee};
}
ActivityBox date(const char* caption) {
    return {QString::fromUtf8(caption), BoxKind::Date, Opening::Today};
}

}  // namespace

// Built on first use rather than at start-up, as the messages they hold are themselves statics.
const ActivityKind& activity_kind(Activity activity) {
    static const ActivityKind visit{
        QStringLiteral("visit"),
        QStringLiteral("訪問"),
        {employee(), date("訪問日"), text("名称"), text("内容")},
        {{1, kDateMessage}},
        QStringLiteral("insert into 訪問 (顧客ID,社員,訪問日,名称,内容) values("),
    };

    static const ActivityKind inquiry{
        QStringLiteral("inquiry"),
        QStringLiteral("問い合わせ"),
        {employee(), date("受付日"), text("名称"), text("内容")},
        {{1, kDateMessage}},
        QStringLiteral("insert into 問い合わせ (顧客ID,社員,受付日,名称,内容) values("),
    };

    static const ActivityKind estimate{
        QStringLiteral("estimate"),
        QStringLiteral("見積もり"),
        {employee(),
         date("提出日"),
         text("名称"),
         {QStringLiteral("受注金額"), BoxKind::Amount, Opening::Zero},
         {QStringLiteral("消費税"), BoxKind::Rate, Opening::TaxRate},
         text("内容")},
        {{1, kDateMessage}},
        QStringLiteral("insert into 見積もり (顧客ID,社員,提出日,名称,見積もり金額,消費税率,内容) values("),
    };

    // The answer date is tested before and after the receipt date, so a bad one gives two messages.
    static const ActivityKind claim{
        QStringLiteral("claim"),
        QStringLiteral("クレーム"),
        {employee(), date("受付日"), text("名称"), text("内容"), date("回答日"), text("回答内容")},
        {{4, kDateMessageClaim}, {1, kDateMessageClaim}, {4, kDateMessageClaimSecond}},
        QStringLiteral("insert into クレーム (顧客ID,社員,受付日,名称,内容,回答日,回答内容) values("),
    };

    switch (activity) {
        case Activity::Visit:
            return visit;
        case Activity::Estimate:
            return estimate;
        case Activity::Claim:
            return claim;
        case Activity::Inquiry:
            return inquiry;
    }
    return visit;
}

QStringList activity_opening_values(const ActivityKind& kind, const QString& employee, const QString& today,
                                    const QString& tax_rate) {
    QStringList values;
    for (const ActivityBox& box : kind.boxes) {
        switch (box.opening) {
            case Opening::Empty:
                values << QString();
                break;
            case Opening::Employee:
                values << employee;
                break;
            case Opening::Today:
                values << today;
                break;
            case Opening::Zero:
                values << QStringLiteral("0");
                break;
            case Opening::TaxRate:
                values << tax_rate;
                break;
        }
    }
    return values;
}

QStringList save_activity(Database& db, const ActivityKind& kind, const QString& customer_id,
                          QStringList& boxes, const QDate& today) {
    if (!is_key(customer_id))
        return {kChooseCustomerMessage};
    while (boxes.size() < kind.boxes.size())
        boxes << QString();

    QStringList messages;
    for (const DateCheck& check : kind.date_checks) {
        QString value = boxes.at(check.box);
        if (check_date(value, QString(), true, true, today))
            boxes[check.box] = value;
        else
            messages << check.message;
    }
    if (!messages.isEmpty())
        return messages;

    QStringList values{customer_id.trimmed()};
    for (int i = 0; i < kind.boxes.size(); ++i) {
        std::optional<QString> value;
        switch (kind.boxes.at(i).kind) {
            case BoxKind::Text:
            case BoxKind::Date:
                value = sql_text(boxes.at(i));
                break;
            case BoxKind::Amount:
                value = whole_number(boxes.at(i), QStringLiteral("0"));
                break;
            case BoxKind::Rate:
                value = plain_number(boxes.at(i));
                break;
        }
        if (!value)
            return {kNumberMessage};
        values << *value;
    }
    Transaction transaction(db);
    if (!lock_customer(db, customer_id))
        return {kCustomerGoneMessage};
    db.execute_sql(kind.statement_prefix + values.join(u',') + u')');
    transaction.commit();
    return {};
}
