#pragma once

#include <QPointer>
#include <QVector>
#include <QWidget>

class QLineEdit;
class QPushButton;

// Base of the entry screens. Their own buttons only hide them, so a screen keeps its state between
// openings; the window's close control destroys it, and the main window makes it afresh next time.
class EntryWindow : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

signals:
    // A record was stored; text names it and its customer, for the main window's status bar.
    void saved(const QString& text);

protected:
    // The confirmation text: "受注を保存しました（山田商事）".
    static QString saved_text(const QString& record, const QString& customer_name);

    // The box shows its number with thousands separators whenever it loses the focus.
    void separate_thousands_on_leave(QLineEdit* box);

    // Ctrl+S presses the first of these buttons that is shown and enabled; Esc presses close.
    void set_key_buttons(const QVector<QPushButton*>& save, QPushButton* close);

    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QVector<QPointer<QPushButton>> m_save_keys;
    QPointer<QPushButton> m_close_key;
};
