#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class Session;

// frmLogin: the working employee is chosen here; there is no password.
class LoginWindow : public QWidget {
    Q_OBJECT
public:
    LoginWindow(Session& session, QWidget* parent = nullptr);

    int opacity_step() const { return m_step; }
    QTimer* fade_timer() const { return m_timer; }

signals:
    void confirmed();
    void cancelled();

protected:
    void paintEvent(QPaintEvent* event) override;
    // The window's own close control: the same as キャンセル.
    void closeEvent(QCloseEvent* event) override;

private:
    void tick();
    void confirm();
    // With no employee registered, 社員を登録… adds the first one (an empty database).
    void offer_first_employee();
    void add_first_employee();

    Session& m_session;
    int m_step = 100;
    QComboBox* m_combo;
    QLabel* m_message;
    QPushButton* m_add = nullptr;
    QTimer* m_timer;
};
