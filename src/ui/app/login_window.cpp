#include "ui/app/login_window.h"

#include <QCloseEvent>

#include <QComboBox>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QRegion>
#include <QTimer>

#include "app/session.h"
#include "ui/app/first_employee_dialog.h"
#include "ui/common/prompter.h"

LoginWindow::LoginWindow(Session& session, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_session(session) {
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(QStringLiteral("ﾛｸﾞｵﾝ"));
    setFixedSize(390, 310);

    auto* title = new QLabel(QStringLiteral("営業手帳"), this);
    title->setObjectName(QStringLiteral("Title"));
    title->setGeometry(30, 55, 330, 50);
    QFont title_font = title->font();
    title_font.setPointSize(24);
    title_font.setBold(true);
    title->setFont(title_font);
    title->setStyleSheet(QStringLiteral("color: white;"));

    auto* label1 = new QLabel(QStringLiteral("担当者"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setGeometry(40, 140, 70, 26);
    label1->setStyleSheet(QStringLiteral("color: white;"));

    m_combo = new QComboBox(this);
    m_combo->setObjectName(QStringLiteral("Combo1"));
    m_combo->setGeometry(115, 140, 230, 28);
    m_combo->addItems(m_session.employee_names);
    m_combo->setCurrentIndex(-1);
    connect(m_combo, &QComboBox::activated, this,
            [this](int index) { m_session.current_employee = m_combo->itemText(index); });

    auto* ok = new QPushButton(QStringLiteral("ログイン"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setGeometry(115, 190, 110, 32);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &LoginWindow::confirm);

    auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    cancel->setGeometry(235, 190, 110, 32);
    connect(cancel, &QPushButton::clicked, this, [this] {
        hide();
        emit cancelled();
    });

    m_message = new QLabel(QString(), this);
    m_message->setObjectName(QStringLiteral("Label2"));
    m_message->setGeometry(40, 240, 310, 40);
    m_message->setStyleSheet(QStringLiteral("color: #ffe08a; font-weight: bold;"));
    m_message->setWordWrap(true);

    m_add = new QPushButton(QStringLiteral("社員を登録…"), this);
    m_add->setObjectName(QStringLiteral("addEmployeeB"));
    m_add->setGeometry(115, 230, 230, 30);
    connect(m_add, &QPushButton::clicked, this, &LoginWindow::add_first_employee);
    offer_first_employee();

    // Fade in from 110 to 250 (of 255) in steps of 10 every 100 ms.
    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(100);
    connect(m_timer, &QTimer::timeout, this, &LoginWindow::tick);
    m_timer->start();
    setWindowOpacity(m_step / 255.0);

    // Only the picture and the controls show: title bar and frame are cut away.
    setMask(QRegion(QRect(QPoint(10, 35), QPoint(379, 299))));
    center_form(this);
}

void LoginWindow::offer_first_employee() {
    const bool none = m_session.employee_names.isEmpty();
    m_add->setVisible(none);
    m_message->setGeometry(40, none ? 264 : 240, 310, none ? 34 : 40);
    if (none)
        m_message->setText(QStringLiteral("社員が登録されていません。「社員を登録…」で登録してください"));
}

void LoginWindow::add_first_employee() {
    auto* dialog = new FirstEmployeeDialog(m_session, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        // The new employee is listed and chosen: ログイン goes on with it.
        m_combo->clear();
        m_combo->addItems(m_session.employee_names);
        m_combo->setCurrentIndex(int(m_session.employee_names.indexOf(dialog->added_name())));
        m_session.current_employee = m_combo->currentText();
        m_message->setText(QStringLiteral("登録しました。「ログイン」を押してください"));
        offer_first_employee();
    });
    dialog->open();
}

void LoginWindow::tick() {
    m_step += 10;
    if (m_step >= 250)
        m_timer->stop();
    setWindowOpacity(m_step / 255.0);
    update();
}

void LoginWindow::confirm() {
    if (m_session.current_employee.isEmpty()) {
        m_message->setText(QStringLiteral("担当者を指定してください"));
        return;
    }
    hide();
    emit confirmed();
}

void LoginWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    emit cancelled();
}

void LoginWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QLinearGradient g(0, 35, 0, 300);
    g.setColorAt(0, QColor(40, 70, 130));
    g.setColorAt(1, QColor(20, 110, 150));
    p.fillRect(rect(), g);
    p.setPen(QColor(255, 255, 255, 120));
    p.drawLine(30, 115, 360, 115);
}
