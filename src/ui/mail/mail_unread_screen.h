#pragma once

#include "ui/records/entry_window.h"

class QListWidget;
class Prompter;
class Session;

// "未対応　EMAIL　問い合わせ一覧" (unread): the titles of the inquiries mail intake made for known customers.
class MailUnreadScreen : public EntryWindow {
    Q_OBJECT
public:
    MailUnreadScreen(Session& session, Prompter& prompter, QWidget* parent = nullptr);

private:
    QListWidget* m_list1 = nullptr;
};
