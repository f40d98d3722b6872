#pragma once

#include <QWidget>

class QListView;
class QStringListModel;
class Prompter;
class Session;

// "最新情報" (today_job): open inquiries and claims and the latest orders and estimates of all
// customers, shown after login. Its lists are models, so tens of thousands of rows stay light.
class TodayJobScreen : public QWidget {
    Q_OBJECT
public:
    TodayJobScreen(Session& session, Prompter& prompter, QWidget* parent = nullptr);

    // Reads the four lists; a refused statement is reported and leaves the lists as they were.
    void fill();

signals:
    // "閉じる", or the window's own close control: the main window takes over.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QListView* make_list(const QString& name, QStringListModel*& model);

    Session& m_session;
    Prompter& m_prompter;
    QStringListModel* m_inquiries = nullptr;
    QStringListModel* m_claims = nullptr;
    QStringListModel* m_orders = nullptr;
    QStringListModel* m_estimates = nullptr;
};
