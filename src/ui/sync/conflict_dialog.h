#pragma once

#include <QDialog>
#include <QVector>

#include "sync/sync_run.h"

class QRadioButton;
class QTableWidget;

// The question of a sync conflict: both versions of the row, field by field, and the choice of the
// laptop's version, the office's, or a choice per field ("項目ごと"). Differing fields stand out.
class ConflictDialog : public QDialog {
    Q_OBJECT
public:
    explicit ConflictDialog(const SyncConflict& conflict, QWidget* parent = nullptr);

    // What the user chose; Stop when the dialog was closed without a choice.
    SyncDecision decision() const { return m_decision; }

private:
    void choose(SyncDecision::Choice choice);

    const SyncConflict m_conflict;
    SyncDecision m_decision;
    QTableWidget* m_fields = nullptr;
    QVector<QRadioButton*> m_take_laptop;  // per field: the laptop's value
};
