#pragma once

#include <functional>

#include "mail/mail_templates.h"
#include "ui/records/entry_window.h"

class QComboBox;
class QLabel;
class QListWidget;
class Prompter;
class Session;

// "新商品キャンペーン" (new_goods_sales): mails a template to every buyer of an older goods item.
class MailNewGoodsScreen : public EntryWindow {
    Q_OBJECT
public:
    // open_templates opens the template screen ("既存テンプレート編集").
    MailNewGoodsScreen(Session& session, Prompter& prompter, std::function<void()> open_templates,
                       QWidget* parent = nullptr);
    // Refills the template choice (Combo2) from the database.
    void set_template();

private:
    void load_goods();
    void list_buyers();  // Command1
    void send();         // Command3

    Session& m_session;
    Prompter& m_prompter;
    GoodsChoice m_goods;
    MailTemplates m_templates;  // Combo2 and template_bodies
    QString m_goods_id;
    QComboBox* m_combo1 = nullptr;
    QLabel* m_label1 = nullptr;
    QListWidget* m_list1 = nullptr;
    QComboBox* m_combo2 = nullptr;
    QLabel* m_label5 = nullptr;
};
