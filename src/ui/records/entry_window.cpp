#include "ui/records/entry_window.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

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

void EntryWindow::set_key_buttons(const QVector<QPushButton*>& save, QPushButton* close) {
    m_save_keys.clear();
    for (QPushButton* b : save)
        m_save_keys << b;
    m_close_key = close;
}

void EntryWindow::keyPressEvent(QKeyEvent* event) {
    // Keys the boxes leave unused arrive here.
    if (event->matches(QKeySequence::Save)) {
        for (const QPointer<QPushButton>& b : m_save_keys) {
            if (b && b->isVisible() && b->isEnabled()) {
                b->setFocus(Qt::ShortcutFocusReason);  // a box that formats on leaving does so first
                b->click();
                break;
            }
        }
        return;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && m_close_key) {
        m_close_key->click();
        return;
    }
    QWidget::keyPressEvent(event);
}
