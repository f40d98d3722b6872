// The analysis menu's cluster and ABC entries.
#include <QApplication>
#include <QPointer>

#include "ui/analysis/abc_customer_screen.h"
#include "ui/analysis/abc_goods_screen.h"
#include "ui/analysis/cluster_screen.h"
#include "ui/common/screen_context.h"
#include "ui/customers/main_window.h"

namespace {

// Owned by the main window. Each screen is made and computed at its first opening and kept; its
// buttons hide it, and the window's close control discards it, so the next opening computes anew.
class ClusterAbcScreens : public QObject {
public:
    explicit ClusterAbcScreens(const ScreenContext& context)
        : QObject(&context.main), m_session(context.session), m_prompter(context.prompter) {}
    ~ClusterAbcScreens() override {
        delete m_cluster.data();
        delete m_abc_customers.data();
        delete m_abc_goods.data();
    }

    template <class Screen>
    void open(QPointer<Screen>& screen) {
        const bool was_visible = screen && screen->isVisible();
        if (!screen) {
            screen = new Screen(m_session, m_prompter);
            QApplication::setOverrideCursor(Qt::WaitCursor);
            screen->load();
            QApplication::restoreOverrideCursor();
        }
        screen->show();
        if (was_visible)
            screen->raise();
        screen->activateWindow();
    }

    QPointer<ClusterScreen> m_cluster;
    QPointer<AbcCustomerScreen> m_abc_customers;
    QPointer<AbcGoodsScreen> m_abc_goods;

private:
    Session& m_session;
    Prompter& m_prompter;
};

}  // namespace

void install_cluster_abc_screens(const ScreenContext& context) {
    auto* screens = new ClusterAbcScreens(context);
    context.main.set_action(QStringLiteral("clustering"), [screens] { screens->open(screens->m_cluster); });
    context.main.set_action(QStringLiteral("abc_cust"),
                            [screens] { screens->open(screens->m_abc_customers); });
    context.main.set_action(QStringLiteral("abc_goods"), [screens] { screens->open(screens->m_abc_goods); });
}
