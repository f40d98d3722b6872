#include "ui/app/first_employee_dialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/session.h"
#include "db/database_error.h"
#include "masters/first_employee.h"

FirstEmployeeDialog::FirstEmployeeDialog(Session& session, QWidget* parent)
    : QDialog(parent), m_session(session) {
    setObjectName(QStringLiteral("first_employee"));
    setWindowTitle(QStringLiteral("社員の登録"));
    auto* layout = new QVBoxLayout(this);
    auto* intro =
        new QLabel(QStringLiteral("社員が登録されていません。これから使う方の氏名を登録してください。\n"
                                  "ほかの社員は、ログイン後に「編集」→「社員」で登録できます。"));
    intro->setObjectName(QStringLiteral("Label1"));
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto* form = new QFormLayout;
    auto box = [&](const char* name, const QString& caption) {
        auto* edit = new QLineEdit;
        edit->setObjectName(QString::fromLatin1(name));
        edit->setMinimumWidth(260);
        form->addRow(caption, edit);
        return edit;
    };
    m_company = box("Text1_0", QStringLiteral("会社名"));
    m_name = box("Text1_1", QStringLiteral("氏名"));
    m_kana = box("Text1_2", QStringLiteral("氏名かな"));
    layout->addLayout(form);
    // A NULL company name reads "-": the box starts empty then.
    const QString company = m_session.company_setting(2);
    m_stored_company = company == QLatin1String("-") ? QString() : company;
    m_company->setText(m_stored_company);
    m_company->setPlaceholderText(QStringLiteral("省略できます（会社情報で後から変更できます）"));

    m_message = new QLabel;
    m_message->setObjectName(QStringLiteral("Label2"));
    m_message->setStyleSheet(QStringLiteral("color: #b00000;"));
    m_message->setWordWrap(true);
    layout->addWidget(m_message);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* ok = new QPushButton(QStringLiteral("登録"));
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"));
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &FirstEmployeeDialog::save);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    (m_stored_company.isEmpty() ? m_company : m_name)->setFocus();
}

void FirstEmployeeDialog::save() {
    const QString name = m_name->text().trimmed();
    const QString company = m_company->text().trimmed();
    QString problem;
    try {
        // The company's name is written only when it was changed here.
        problem = add_first_employee(m_session, name, m_kana->text(),
                                     company == m_stored_company ? QString() : company);
    } catch (const DatabaseError& e) {
        problem = e.message();
    }
    if (!problem.isEmpty()) {
        m_message->setText(problem);
        return;
    }
    m_added = name;
    accept();
}
