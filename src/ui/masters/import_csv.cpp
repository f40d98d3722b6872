#include "ui/masters/import_csv.h"

#include <QApplication>
#include <QProgressDialog>

#include "app/session.h"
#include "customers/csv_import.h"
#include "customers/duplicates.h"
#include "ui/common/prompter.h"

namespace {

using Import = std::function<CsvResult(Database&, const QString&, const ImportProgress&)>;
// Runs between the choice of the file and the import (the customers' options and duplicate
// question); false stops the import.
using Prepare = std::function<bool(const QString& path)>;

void run_import(Session& session, Prompter& prompter, QWidget* parent, const QString& title, Import import,
                const Prepare& prepare = {}) {
    QString chosen;
    QString typed;
    if (!choose_file(prompter, parent, title, QStringLiteral("データベース(*.csv)|*.csv"), false, chosen,
                     &typed))
        return;
    if (prepare && !prepare(typed))
        return;
    // The import checks the whole file first (reading it under the wait cursor) and refuses it with
    // the check's message; the inserts then run under the progress dialog.
    QProgressDialog progress(QString(), QStringLiteral("中止"), 0, 1, parent);
    progress.setObjectName(QStringLiteral("importProgress"));
    progress.setWindowTitle(title);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    progress.reset();  // not shown until the first record goes in
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool restored = false;
    const CsvResult result = import(*session.db, typed, [&](int done, int total) {
        if (!restored) {
            QApplication::restoreOverrideCursor();
            restored = true;
            progress.setLabelText(QStringLiteral("%1: %2 件を読み込んでいます…").arg(title).arg(total));
            progress.setMaximum(qMax(total, 1));
        }
        progress.setValue(done);
        QApplication::processEvents();
        return !progress.wasCanceled();
    });
    if (!restored)
        QApplication::restoreOverrideCursor();
    progress.reset();
    prompter.inform(result.message);
}

}  // namespace

void import_customers_from_menu(Session& session, Prompter& prompter, QWidget* parent) {
    // Records that look like customers already stored (or earlier ones of the file) are listed, and
    // the user chooses to leave them out or to import everything.
    QSet<int> skip;
    CustomerImportOptions options;
    const Prepare ask_duplicates = [&](const QString& path) {
        if (!prompter.choose_import_options(parent, QStringLiteral("インポート顧客"), path, options))
            return false;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        QVector<ImportDuplicate> duplicates;
        try {
            duplicates = find_import_duplicates(*session.db, read_customer_records(path));
        } catch (const DatabaseError&) {
            // The import itself reports what the database refuses.
        }
        QApplication::restoreOverrideCursor();
        if (!duplicates.isEmpty() && prompter.ask_yes_no(import_duplicates_question(duplicates)))
            for (const ImportDuplicate& d : duplicates)
                skip.insert(d.record - 1);
        return true;
    };
    run_import(
        session, prompter, parent, QStringLiteral("インポート顧客"),
        [&](Database& db, const QString& path, const ImportProgress& progress) {
            return import_customer_csv(db, path, progress, skip, options);
        },
        ask_duplicates);
}

void import_goods_from_menu(Session& session, Prompter& prompter, QWidget* parent) {
    run_import(session, prompter, parent, QStringLiteral("インポート商品"), import_goods_csv);
}
