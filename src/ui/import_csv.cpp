#include "ui/import_csv.h"

#include <QApplication>
#include <QProgressDialog>

#include "app/session.h"
#include "customers/csv_import.h"
#include "ui/prompter.h"

namespace {

using Validate = CsvResult (*)(const QString&);
using Import = CsvResult (*)(Database&, const QString&, const ImportProgress&);

void run_import(Session& session, Prompter& prompter, QWidget* parent, const QString& title,
                Validate validate, Import import) {
    QString chosen;
    QString typed;
    if (!choose_file(prompter, parent, title, QStringLiteral("データベース(*.csv)|*.csv"), false, chosen,
                     &typed))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const CsvResult checked = validate(typed);
    QApplication::restoreOverrideCursor();
    if (!checked.ok) {
        prompter.inform(checked.message);
        return;
    }
    QProgressDialog progress(QStringLiteral("%1: %2 件を読み込んでいます…").arg(title).arg(checked.count),
                             QStringLiteral("中止"), 0, qMax(checked.count, 1), parent);
    progress.setObjectName(QStringLiteral("importProgress"));
    progress.setWindowTitle(title);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    const CsvResult result = import(*session.db, typed, [&](int done, int total) {
        progress.setMaximum(qMax(total, 1));
        progress.setValue(done);
        QApplication::processEvents();
        return !progress.wasCanceled();
    });
    progress.reset();
    prompter.inform(result.message);
}

}  // namespace

void import_customers_from_menu(Session& session, Prompter& prompter, QWidget* parent) {
    run_import(session, prompter, parent, QStringLiteral("インポート顧客"), validate_customer_csv,
               import_customer_csv);
}

void import_goods_from_menu(Session& session, Prompter& prompter, QWidget* parent) {
    run_import(session, prompter, parent, QStringLiteral("インポート商品"), validate_goods_csv,
               import_goods_csv);
}
