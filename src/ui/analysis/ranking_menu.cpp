// The analysis screens of the ranking group: RFM, the order and goods rankings, orders versus
// visits and the after-sales follow-up list.
#include <QPointer>

#include "ui/analysis/after_sales_screen.h"
#include "ui/analysis/order2visit_screen.h"
#include "ui/analysis/order_rank_screen.h"
#include "ui/analysis/rfm_screen.h"
#include "ui/common/screen_context.h"
#include "ui/customers/main_window.h"

namespace {

// Owned by the main window: makes each screen at its first opening and keeps it until the user
// closes it with the window's close control, which destroys it (the pointer then reads null).
class RankingScreens : public QObject {
public:
    explicit RankingScreens(const ScreenContext& context)
        : QObject(&context.main), m_session(context.session), m_prompter(context.prompter) {}
    ~RankingScreens() override {
        for (auto& s : m_screens)
            delete s.data();
    }

    template <class Screen, class... Extra>
    void open(int slot, Extra... extra) {
        QPointer<QWidget>& held = m_screens[slot];
        if (held) {
            held->show();
            held->raise();
            held->activateWindow();
            return;
        }
        // Computed before it is shown, so the window comes up with its result.
        auto* screen = new Screen(m_session, m_prompter, extra...);
        held = screen;
        screen->load();
        screen->show();
        screen->activateWindow();
    }

private:
    Session& m_session;
    Prompter& m_prompter;
    QPointer<QWidget> m_screens[5];
};

}  // namespace

void install_ranking_screens(const ScreenContext& context) {
    auto* screens = new RankingScreens(context);
    MainWindow& main = context.main;
    main.set_action(QStringLiteral("rmf"), [screens] { screens->open<RfmScreen>(0); });
    main.set_action(QStringLiteral("order_rank"), [screens] {
        screens->open<SalesRankScreen>(1, SalesRankScreen::Kind::Customers, nullptr);
    });
    main.set_action(QStringLiteral("goods_rank"),
                    [screens] { screens->open<SalesRankScreen>(2, SalesRankScreen::Kind::Goods, nullptr); });
    main.set_action(QStringLiteral("order2visit"), [screens] { screens->open<Order2VisitScreen>(3); });
    main.set_action(QStringLiteral("after_order"), [screens] { screens->open<AfterSalesScreen>(4); });
}
