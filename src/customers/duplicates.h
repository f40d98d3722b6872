#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

class Database;

// The form two texts are compared in when looking for the same customer twice: widths unified
// (ｶﾀｶﾅ, ＡＢＣ, １２３), katakana as hiragana, voiced marks joined, letter case folded, blanks dropped.
QString fold_for_match(const QString& text);
// The digits of a phone number (full-width ones too); hyphens, blanks and brackets dropped.
QString phone_digits(const QString& text);

// Which value two customers share.
enum class DuplicateField { Name, Phone, Mail };

struct DuplicateMatch {
    DuplicateField field = DuplicateField::Name;
    QString customer_id;  // the customer already stored; empty for an earlier record of a file
    QString customer_name;
    int record = 0;  // for a file's own earlier record: its number (from 1)
};

// The check of a customer being saved (new: own_id empty; changed: its key): the first stored customer
// other than own_id sharing the folded name, a phone number or the mail address, checked in that
// order, found through the indexes of the keys kept with every customer (customer_copies).
std::optional<DuplicateMatch> find_duplicate_customer(Database& db, const QStringList& fields,
                                                      const QString& own_id = QString());
// "同じ電話番号の顧客がすでに登録されています（山田商事）。登録しますか？"
QString duplicate_question(const DuplicateMatch& match);

// Records of an import (13 values each, in file order) that match a stored customer or an earlier
// record of the same file.
struct ImportDuplicate {
    int record = 0;  // from 1
    QString name;
    DuplicateMatch match;
};
QVector<ImportDuplicate> find_import_duplicates(Database& db, const QVector<QStringList>& records);
// The list for the import's check, and the question whether to leave those records out.
QString import_duplicates_question(const QVector<ImportDuplicate>& duplicates);
