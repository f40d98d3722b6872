#pragma once

#include <QVector>

#include "analysis/rfm.h"
#include "ui/analysis/ranking_grid.h"

class QLabel;
class QLineEdit;
class Prompter;
class Session;

// rfmfrm: the customers scored on recency, frequency and monetary value, with the class settings
// panel whose thresholds and descriptions are edited and saved.
class RfmScreen : public AnalysisWindow {
    Q_OBJECT
public:
    RfmScreen(Session& session, Prompter& prompter, QWidget* parent = nullptr);

    // Reads the settings and scores the customers (the screen's load).
    void load();
    void save();  // saveB

private:
    Session& m_session;
    Prompter& m_prompter;
    QVector<RfmClass> m_classes;
    QVector<QLineEdit*> m_thresholds;    // Text2
    QVector<QLineEdit*> m_descriptions;  // Text1
    QVector<QLabel*> m_points;           // Label4
    RankingGrid* m_grid = nullptr;
};
