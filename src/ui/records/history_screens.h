#pragma once

#include <QObject>
#include <QPointer>

class MainWindow;
class Prompter;
class RecordListScreen;
class Session;
class TodayJobScreen;

// Keeps today's jobs and the record list: each is made on first use, then hidden and shown again.
// Owned by the main window; hooks the legend labels up to the record list.
class HistoryScreens : public QObject {
    Q_OBJECT
public:
    HistoryScreens(Session& session, Prompter& prompter, MainWindow& main);
    ~HistoryScreens() override;

    // After login: today's jobs; its "閉じる" shows the main window with the employee's chart.
    void open_today_jobs();
    // The legend: the record list for the session's selected table.
    void open_record_list();

    TodayJobScreen* today_jobs() const;
    RecordListScreen* record_list() const;

private:
    Session& m_session;
    Prompter& m_prompter;
    MainWindow& m_main;
    QPointer<TodayJobScreen> m_today;
    QPointer<RecordListScreen> m_list;
};
