#pragma once

#include <QVector>

#include "masters/master_records.h"
#include "ui/records/entry_window.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class Prompter;
class Session;

// The master-data pattern shared by the employee screen personfrm and the goods screen goods: a list
// of names, four boxes, and newB / saveB / updateB / deleteB / cancelB.
class MasterScreen : public EntryWindow {
    Q_OBJECT
public:
    MasterScreen(Session& session, Prompter& prompter, MasterKind kind, QWidget* parent = nullptr);

    QString held_key() const { return m_key; }

private:
    void refresh_list();
    void clear_fields();
    void hold_key(const QString& key);
    QStringList field_texts() const;
    void show_buttons(bool new_b, bool save_b, bool update_b, bool delete_b);
    void choose(QListWidgetItem* item);
    void reshow();
    void start_new();
    void save();
    void update_record();
    void delete_record();

    Session& m_session;
    Prompter& m_prompter;
    MasterKind m_kind;
    QString m_key;
    StoredRow m_shown;  // the chosen row as read, for the write-conflict check
    QVector<QLineEdit*> m_text1;
    QListWidget* m_list = nullptr;
    QLabel* m_key_label = nullptr;
    QLabel* m_label4 = nullptr;
    QPushButton* m_new = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_update = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_cancel = nullptr;
};

// The employee screen personfrm ("社員").
MasterScreen* make_person_screen(Session& session, Prompter& prompter);
