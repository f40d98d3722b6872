#include "ui/import_csv.h"

#include <QApplication>
#include <QProgressDialog>

#include "app/session.h"
#include "customers/csv_import.h"
#include "ui/prompter.h"

namespace {

using Import = CsvResult (*)(Database&, const QString&, const ImportProgress&);

void run_import(Session& session, Prompter& prompter, QWidget* parent, const QString& title, Import import) {
    QString chosen;
    QString typed;
    if (!choose_file(prompter, parent, title, QStringLiteral("データベース(*.csv)|*.csv"), false, chosen,
                     &typed))
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
    run_import(session, prompter, parent, QStringLiteral("インポート顧客"), import_customer_csv);
}

void import_goods_from_menu(Session& session, Prompter& prompter, QWidget* parent) {
    run_import(session, prompter, parent, QStringLiteral("インポート商品"), import_goods_csv);
}
