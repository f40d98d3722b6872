#pragma once

#include <QStringList>

#include "db/database.h"

// The four lists of the "最新情報" screen, as the item texts shown, in the order the database returns.
struct TodayJobs {
    QStringList inquiries;  // 状況 exactly "email": 顧客名 : 名称
    QStringList claims;     // no answer yet (empty or NULL 回答内容): 顧客名 : 名称
    QStringList orders;     // newest first: 受注日 顧客名<tab>名称<tab>受注金額
    QStringList estimates;  // newest first: 提出日 顧客名<tab>名称<tab>見積もり金額
};

QStringList unhandled_inquiries(Database& db);
QStringList unanswered_claims(Database& db);
QStringList recent_orders(Database& db);
QStringList recent_estimates(Database& db);

TodayJobs load_today_jobs(Database& db);
