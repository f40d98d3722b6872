#include <QApplication>
#include <QPointer>

#include "app/session.h"
#include "mail/fetch_mail.h"
#include "ui/common/prompter.h"
#include "ui/common/screen_context.h"
#include "ui/customers/main_window.h"
#include "ui/mail/mail_new_goods_screen.h"
#include "ui/mail/mail_one_screen.h"
#include "ui/mail/mail_template_screen.h"
#include "ui/mail/mail_unread_screen.h"

namespace {

// The mail screens, made on first use and kept; a screen closed by the window manager is made afresh.
class MailScreens : public QObject {
public:
    explicit MailScreens(const ScreenContext& context)
        : QObject(&context.main), m_session(context.session), m_prompter(context.prompter) {}
    ~MailScreens() override {
        for (QWidget* w : {static_cast<QWidget*>(m_template), static_cast<QWidget*>(m_one),
                           static_cast<QWidget*>(m_unread), static_cast<QWidget*>(m_new_goods)})
            delete w;
    }

    void receive_mail() {
        FetchResult result;
        {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            struct Restore {
                ~Restore() { QApplication::restoreOverrideCursor(); }
            } restore;
            result = fetch_mail(m_session);
        }
        for (const QString& note : result.new_customer_notes)
            m_prompter.inform(note);
        for (const QString& message : fetch_messages(result))
            m_prompter.inform(message);
    }

    void open_template() {
        if (!m_template)
            m_template = new MailTemplateScreen(m_session, m_prompter);
        else
            m_template->reopen();
        present(m_template);
    }

    void open_one() {
        if (m_session.current_customer_id.isEmpty()) {
            m_prompter.inform(QStringLiteral("顧客を選択してください"));
            return;
        }
        if (!m_one)
            m_one = new MailOneScreen(m_session, m_prompter);
        m_one->set_customer(m_session.current_customer_id, m_session.current_customer_name);
        present(m_one);
    }

    void open_unread() {
        if (!m_unread)
            m_unread = new MailUnreadScreen(m_session, m_prompter);
        present(m_unread);
    }

    void open_new_goods() {
        if (!m_new_goods)
            m_new_goods = new MailNewGoodsScreen(m_session, m_prompter, [this] { open_template(); });
        present(m_new_goods);
    }

private:
    static void present(QWidget* screen) {
        screen->show();
        screen->raise();
        screen->activateWindow();
    }

    Session& m_session;
    Prompter& m_prompter;
    QPointer<MailTemplateScreen> m_template;
    QPointer<MailOneScreen> m_one;
    QPointer<MailUnreadScreen> m_unread;
    QPointer<MailNewGoodsScreen> m_new_goods;
};

}  // namespace

void install_mail_screens(const ScreenContext& context) {
    auto* screens = new MailScreens(context);
    screens->setObjectName(QStringLiteral("mail_screens"));
    context.main.set_action(QStringLiteral("receive_mail"), [screens] { screens->receive_mail(); });
    context.main.set_action(QStringLiteral("unread_mail_list"), [screens] { screens->open_unread(); });
    context.main.set_action(QStringLiteral("mail_template_edit"), [screens] { screens->open_template(); });
    context.main.set_action(QStringLiteral("new_goods_sale"), [screens] { screens->open_new_goods(); });
    context.main.set_action(QStringLiteral("mail_one"), [screens] { screens->open_one(); });
}
