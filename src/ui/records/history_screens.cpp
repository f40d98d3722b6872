#include "ui/records/history_screens.h"

#include "ui/customers/main_window.h"
#include "ui/records/datalist.h"
#include "ui/records/today_job.h"

HistoryScreens::HistoryScreens(Session& session, Prompter& prompter, MainWindow& main)
    : QObject(&main), m_session(session), m_prompter(prompter), m_main(main) {
    m_main.set_legend_opener([this](int) { open_record_list(); });
}

HistoryScreens::~HistoryScreens() {
    delete m_today.data();
    delete m_list.data();
}

TodayJobScreen* HistoryScreens::today_jobs() const {
    return m_today;
}

RecordListScreen* HistoryScreens::record_list() const {
    return m_list;
}

void HistoryScreens::open_today_jobs() {
    if (!m_today) {
        m_today = new TodayJobScreen(m_session, m_prompter);
        connect(m_today, &TodayJobScreen::closed, &m_main, [this] {
            m_main.show();
            m_main.raise();
            m_main.show_employee_history();
        });
    }
    m_today->show();
    m_today->raise();
    m_today->activateWindow();
}

void HistoryScreens::open_record_list() {
    if (!m_list)
        m_list = new RecordListScreen(m_session, m_prompter);
    m_list->show();
    m_list->raise();
    m_list->activateWindow();
    m_list->set_datagrid();
}
