#include "ui/sync/sync_commands.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>

#include "app/session.h"
#include "app/user_folder.h"
#include "sync/checkout.h"
#include "sync/office.h"
#include "sync/sync_run.h"
#include "sync/sync_tables.h"
#include "ui/common/prompter.h"
#include "ui/customers/main_window.h"
#include "ui/sync/conflict_dialog.h"

namespace {

// A progress window made on the first step, once the number of steps is known.
class LazyProgress {
public:
    LazyProgress(Prompter& prompter, QWidget* parent, const QString& title)
        : m_prompter(prompter), m_parent(parent), m_title(title) {}
    bool step(int done, int total, const QString& label) {
        if (!m_view)
            m_view = m_prompter.progress(m_parent, m_title, total);
        return m_view->step(done, label);
    }

private:
    Prompter& m_prompter;
    QWidget* m_parent;
    QString m_title;
    std::unique_ptr<ProgressView> m_view;
};

}  // namespace

QString copy_notice_text(Session& session) {
    try {
        if (!session.db->is_open() || !is_taken_out_copy(*session.db))
            return QString();
        const CopyInfo info = read_copy_info(*session.db);
        QString text =
            QStringLiteral("持ち出したコピー（%1 から）").arg(copy_time_text(info.taken_at).left(16));
        if (info.synced_at.isValid())
            text += QStringLiteral("　最終同期 %1").arg(copy_time_text(info.synced_at).left(16));
        text += QStringLiteral("　未送信の変更 %1 件").arg(pending_change_count(*session.db));
        return text;
    } catch (const DatabaseError&) {
        return QString();
    }
}

void update_copy_notice(Session& session, MainWindow& main) {
    auto* label = main.findChild<QLabel*>(QStringLiteral("copyNotice"));
    if (!label) {
        label = new QLabel;
        label->setObjectName(QStringLiteral("copyNotice"));
        label->setStyleSheet(QStringLiteral("QLabel { color: #8a4b00; font-weight: bold; padding: 0 6px; }"));
        main.statusBar()->addPermanentWidget(label);
    }
    const QString text = copy_notice_text(session);
    label->setText(text);
    label->setVisible(!text.isEmpty());
}

void checkout_from_menu(Session& session, Prompter& prompter, MainWindow& main) {
    try {
        if (is_taken_out_copy(*session.db)) {
            prompter.inform(
                QStringLiteral("このデータベースは持ち出したコピーです。持ち出しは事務所のデータベースにつな"
                               "いだPCで行ってください。"));
            return;
        }
        const QString folder = prompter.choose_folder(
            &main, QStringLiteral("持ち出し先のフォルダ（空のフォルダ）"), QDir::homePath());
        if (folder.isEmpty())
            return;
        CheckoutOptions options;
        options.folder = folder;
        options.employee = session.current_employee;
        if (!session.first_entry.isEmpty())
            options.first_entry = session.first_entry;
        options.help_source = QDir(session.program_folder).filePath(QStringLiteral("help/index.html"));
        if (!QFileInfo::exists(options.help_source))
            options.help_source = installed_help_file();
        LazyProgress progress(prompter, &main, QStringLiteral("持ち出し"));
        options.progress = [&](int done, int total, const QString& table) {
            return progress.step(done, total, QStringLiteral("コピー中: ") + table);
        };
        QApplication::setOverrideCursor(Qt::WaitCursor);
        CheckoutResult result;
        try {
            result = take_out(*session.db, {session.db_kind, session.database_name, session.program_folder},
                              options);
        } catch (...) {
            QApplication::restoreOverrideCursor();
            throw;
        }
        QApplication::restoreOverrideCursor();
        prompter.inform(
            QStringLiteral("持ち出しました。\nフォルダ: %1\n顧客 %2 件、受注 %3 件（%4 の内容）\n\n"
                           "このフォルダをノートPCに移し、そこで営業手帳を起動してください。"
                           "戻ったら、ノートPCで ファイル → 同期 を選ぶと、変更が事務所に送られます。")
                .arg(QDir::toNativeSeparators(result.folder))
                .arg(result.customers)
                .arg(result.orders)
                .arg(copy_time_text(result.taken_at)));
    } catch (const DatabaseError& e) {
        prompter.inform(e.message());
    }
}

void sync_from_menu(Session& session, Prompter& prompter, MainWindow& main) {
    try {
        if (!is_taken_out_copy(*session.db)) {
            prompter.inform(QStringLiteral(
                "このデータベースは持ち出したコピーではありません。"
                "同期は、持ち出し（ファイル → 持ち出し…）で作ったフォルダで営業手帳を使うときに行います。"));
            return;
        }
        const CopyInfo info = read_copy_info(*session.db);
        Database office;
        try {
            open_office(office, info);
        } catch (const OfficeUnreachable& e) {
            prompter.inform(e.message());
            return;
        }
        SyncOptions options;
        options.employee = session.current_employee;
        options.resolve = [&main](const SyncConflict& conflict) {
            ConflictDialog dialog(conflict, &main);
            dialog.exec();
            return dialog.decision();
        };
        LazyProgress progress(prompter, &main, QStringLiteral("同期"));
        options.progress = [&](int done, int total, const QString& label) {
            return progress.step(done, total, label);
        };
        SyncSummary summary;
        try {
            summary = synchronize(*session.db, office, options);
        } catch (const DatabaseError& e) {
            update_copy_notice(session, main);
            prompter.inform(e.message() +
                            QStringLiteral("\n\n同期を中断しました。送った変更はそのまま事務所にあります。"
                                           "もう一度同期すると、続きから行います。"));
            return;
        }
        // The shown customer may have come back under the office's key.
        const QString shown = session.current_customer_id.trimmed();
        if (!shown.isEmpty()) {
            const qint64 laptop_key = shown.toLongLong();
            const QString key =
                summary.new_keys.value(QStringLiteral("顧客")).contains(laptop_key)
                    ? QString::number(summary.new_keys.value(QStringLiteral("顧客")).value(laptop_key))
                    : shown;
            if (!main.show_customer(key))
                main.show_employee_history();
        }
        if (auto* find = main.findChild<QLineEdit*>(QStringLiteral("findc")); find && !find->text().isEmpty())
            main.search(find->text());
        update_copy_notice(session, main);
        prompter.inform(QStringLiteral("同期しました。\n") + summary.report());
    } catch (const DatabaseError& e) {
        prompter.inform(e.message());
    }
}
