#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class Session;

// 社員の登録: the login offers it while no employee is registered (an empty database), so that the
// first one can log in. Asks the employee's name and reading, and the company's name when none is
// stored yet.
class FirstEmployeeDialog : public QDialog {
    Q_OBJECT
public:
    explicit FirstEmployeeDialog(Session& session, QWidget* parent = nullptr);

    // The name of the employee added, after acceptance.
    QString added_name() const { return m_added; }

private:
    void save();

    Session& m_session;
    QLineEdit* m_company;
    QLineEdit* m_name;
    QLineEdit* m_kana;
    QLabel* m_message;
    QString m_stored_company;
    QString m_added;
};
