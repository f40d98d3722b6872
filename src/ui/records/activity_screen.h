#pragma once

#include <QVector>

#include "records/activity_entry.h"
#include "ui/records/entry_window.h"

class QLabel;
class QLineEdit;
class Prompter;
class Session;

// The visit, estimate, claim and inquiry screens: one class, laid out from the screen's description.
class ActivityScreen : public EntryWindow {
    Q_OBJECT
public:
    ActivityScreen(Session& session, Prompter& prompter, Activity activity, QWidget* parent = nullptr);

    // Each opening from the main window: the customer label follows the customer shown there.
    void reopen();

private:
    void save();  // Command2

    Session& m_session;
    Prompter& m_prompter;
    const ActivityKind& m_kind;
    QString m_record;  // what a saved row is called in the confirmation
    QVector<QLineEdit*> m_text1;
    QLabel* m_label2 = nullptr;
};
