#pragma once

#include <QDialog>

class QLabel;
class Prompter;

// はじめに: shown when the program folder does not exist yet. Makes it with an empty database or
// with the sample data, or lets the user pick another folder (remembered for the next start).
class FirstStartDialog : public QDialog {
    Q_OBJECT
public:
    // remember: a folder picked here is written into the user's settings.
    FirstStartDialog(const QString& folder, Prompter& prompter, bool remember, QWidget* parent = nullptr);

    // The folder that now holds sales.ini, after acceptance.
    QString folder() const { return m_folder; }

private:
    void create(bool sample);
    void choose_other();
    void show_folder();

    Prompter& m_prompter;
    QString m_folder;
    bool m_remember;
    QLabel* m_folder_label;
};
