#pragma once

#include <QVector>
#include <QWidget>

#include "records/activity_entry.h"

class QLabel;
class QLineEdit;
class Prompter;
class Session;

// The visit, estimate, claim and inquiry screens: one class, laid out from the screen's description.
class ActivityScreen : public QWidget {
    Q_OBJECT
public:
    ActivityScreen(Session& session, Prompter& prompter, Activity activity, QWidget* parent = nullptr);

    // Each opening from the main window: the customer label follows the customer shown there.
    void reopen();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void save();  // Command2

    Session& m_session;
    Prompter& m_prompter;
    const ActivityKind& m_kind;
    QVector<QLineEdit*> m_text1;
    QLabel* m_label2 = nullptr;
};
