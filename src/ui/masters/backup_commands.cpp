#include "ui/masters/backup_commands.h"

#include <QApplication>

#include "app/session.h"
#include "customers/backup.h"
#include "ui/common/prompter.h"

void backup_from_menu(Session& session, Prompter& prompter, QWidget* parent) {
    prompter.propose_file_name(default_backup_name(session.clock.today()));
    QString chosen;
    QString typed;
    // A save dialog: the target is usually a new file, which an open dialog would not accept.
    if (!choose_file(prompter, parent, QStringLiteral("バックアップファイル"),
                     QStringLiteral("すべてのファイル(*.*)|*.*"), true, chosen, &typed))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const MaintenanceResult result = backup_database(session, typed.trimmed());
    QApplication::restoreOverrideCursor();
    prompter.inform(result.message);
}

void change_db_from_menu(Session& session, Prompter& prompter, QWidget* parent) {
    QString chosen;
    QString typed;
    if (!choose_file(prompter, parent, QStringLiteral("ファイル"),
                     QStringLiteral("データベース(*.MDB)|*.MDB"), false, chosen, &typed))
        return;
    const MaintenanceResult result = switch_database(session, typed.trimmed());
    prompter.inform(result.message);
}
