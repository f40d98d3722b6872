#include "ui/entry_window.h"

#include <QCloseEvent>
#include <QLineEdit>

#include "records/number_text.h"

void EntryWindow::separate_thousands_on_leave(QLineEdit* box) {
    box->installEventFilter(this);
}

bool EntryWindow::eventFilter(QObject* watched, QEvent* event) {
    // Installed only on the boxes given to separate_thousands_on_leave.
    if (event->type() == QEvent::FocusOut) {
        if (auto* box = qobject_cast<QLineEdit*>(watched))
            box->setText(with_thousands(box->text()));
    }
    return QWidget::eventFilter(watched, event);
}

QString EntryWindow::saved_text(const QString& record, const QString& customer_name) {
    return QStringLiteral("%1を保存しました（%2）").arg(record, customer_name);
}

void EntryWindow::closeEvent(QCloseEvent* event) {
    // Only the window's own close control lands here; the buttons hide.
    setAttribute(Qt::WA_DeleteOnClose);
    QWidget::closeEvent(event);
}
