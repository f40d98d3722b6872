#include "ui/mail_broadcast.h"

#include <QApplication>
#include <QProgressDialog>

#include "mail/send_mail.h"
#include "ui/prompter.h"

namespace {

// The wait cursor for as long as the broadcast runs, also when a statement is refused.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

QString progress_text(int index, int total, const QString& name) {
    return QStringLiteral("%1 / %2 件目　%3 様へ送信しています").arg(index).arg(total).arg(name);
}

}  // namespace

QStringList run_broadcast(QWidget* parent, Session& session, Prompter& prompter, const QStringList& names,
                          const QString& subject, const QString& body) {
    QStringList sent;
    {
        WaitCursor wait;
        QProgressDialog progress(QString(), QStringLiteral("中止"), 0, int(names.size()), parent);
        progress.setObjectName(QStringLiteral("broadcast_progress"));
        progress.setWindowTitle(QStringLiteral("同報メール送信"));
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(0);
        progress.setAutoClose(false);
        progress.setAutoReset(false);
        if (!names.isEmpty()) {
            progress.setLabelText(progress_text(1, int(names.size()), names.first()));
            progress.show();
            QApplication::processEvents();
        }
        sent = send_broadcast(
            session, names, subject, body, [&](int done, const QString&, const SendResult& result) {
                if (result.found && !result.sent)
                    prompter.inform(send_failure_message(result));
                progress.setValue(done);
                if (done < names.size())
                    progress.setLabelText(progress_text(done + 1, int(names.size()), names.at(done)));
                // Cancel is looked at between two mails only.
                QApplication::processEvents();
                return !progress.wasCanceled();
            });
    }
    prompter.inform(sent_summary(sent));
    return sent;
}
