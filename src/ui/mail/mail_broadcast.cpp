#include "ui/mail/mail_broadcast.h"

#include <QApplication>

#include "ui/common/prompter.h"

namespace {

// The wait cursor for as long as the broadcast runs.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

QString progress_text(int index, int total, const QString& name) {
    return QStringLiteral("%1 / %2 件目　%3 様へ送信しています").arg(index).arg(total).arg(name);
}

}  // namespace

BroadcastResult run_broadcast(QWidget* parent, Session& session, Prompter& prompter, const QStringList& names,
                              const QString& subject, const QString& body) {
    const int total = int(names.size());
    if (total > 0) {
        if (const QString problem = mail_length_problem(subject, body); !problem.isEmpty()) {
            prompter.inform(problem);
            return {};
        }
        if (!prompter.ask_yes_no(broadcast_question(total)))
            return {};
    }
    BroadcastResult result;
    {
        WaitCursor wait;
        const std::unique_ptr<ProgressView> progress =
            total > 0 ? prompter.progress(parent, QStringLiteral("同報メール送信"), total) : nullptr;
        result = send_broadcast(session, names, subject, body, [&](int done, const QString& next) {
            return progress->step(done, progress_text(done + 1, total, next));
        });
    }
    prompter.inform(broadcast_summary(result));
    return result;
}
