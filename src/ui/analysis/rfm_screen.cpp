#include "ui/analysis/rfm_screen.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/session.h"
#include "records/number_text.h"
#include "ui/common/guard.h"
#include "ui/common/list_tools.h"
#include "ui/common/prompter.h"

RfmScreen::RfmScreen(Session& session, Prompter& prompter, QWidget* parent)
    : AnalysisWindow(parent), m_session(session), m_prompter(prompter) {
    setObjectName(QStringLiteral("rfmfrm"));
    setWindowTitle(QStringLiteral("RFM分析"));

    auto* explanation =
        new QLabel(QStringLiteral("Ｒ＝リーセンシー（Recency）        「最終購買日」 \n"
                                  "Ｆ＝フリークエンシー（Frequency）  「購入回数」\n"
                                  "Ｍ＝マネタリー（Monetary）         「購入金額の合計」"));
    explanation->setObjectName(QStringLiteral("Label1"));

    auto* frame = new QGroupBox(QStringLiteral("ポイント設定"));
    frame->setObjectName(QStringLiteral("pointframe"));
    auto* panel = new QGridLayout(frame);
    panel->addWidget(new QLabel(QStringLiteral("値")), 0, 1);
    panel->addWidget(new QLabel(QStringLiteral("内容")), 0, 2);
    panel->addWidget(new QLabel(QStringLiteral("ポイント")), 0, 3);
    const char* groups[] = {"R", "F", "M"};
    for (int g = 0; g < 3; ++g) {
        auto* caption = new QLabel(QString::fromLatin1(groups[g]));
        caption->setAlignment(Qt::AlignCenter);
        panel->addWidget(caption, 1 + g * 4, 0, 4, 1);
    }
    for (int i = 0; i < kRfmClassCount; ++i) {
        auto* threshold = new QLineEdit;
        threshold->setObjectName(QStringLiteral("Text2_%1").arg(i));
        threshold->setAlignment(Qt::AlignRight);
        threshold->setMaximumWidth(90);
        auto* description = new QLineEdit;
        description->setObjectName(QStringLiteral("Text1_%1").arg(i));
        description->setMinimumWidth(180);
        auto* points = new QLabel;
        points->setObjectName(QStringLiteral("Label4_%1").arg(i));
        points->setAlignment(Qt::AlignCenter);
        panel->addWidget(threshold, 1 + i, 1);
        panel->addWidget(description, 1 + i, 2);
        panel->addWidget(points, 1 + i, 3);
        m_thresholds << threshold;
        m_descriptions << description;
        m_points << points;
    }

    auto* save_button = new QPushButton(QStringLiteral("保存"));
    save_button->setObjectName(QStringLiteral("saveB"));
    auto* close_button = new QPushButton(QStringLiteral("閉じる"));
    close_button->setObjectName(QStringLiteral("Command1"));
    connect(save_button, &QPushButton::clicked, this, [this] { guarded(m_prompter, [this] { save(); }); });
    connect(close_button, &QPushButton::clicked, this, &QWidget::hide);

    m_grid = new RankingGrid({2500, 500, 500, 500, 500});
    install_list_tools(m_grid, m_session, m_prompter);

    auto* side = new QVBoxLayout;
    side->addWidget(frame);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save_button);
    buttons->addWidget(close_button);
    side->addLayout(buttons);
    side->addStretch();

    auto* body = new QHBoxLayout;
    body->addWidget(m_grid, 1);
    body->addLayout(side);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addLayout(body, 1);
    resize(820, 600);
}

void RfmScreen::load() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    guarded(m_prompter, [this] {
        m_classes = load_rfm_classes(*m_session.db);
        for (int i = 0; i < kRfmClassCount; ++i) {
            const RfmClass& c = m_classes.at(i);
            m_thresholds[i]->setText(c.threshold);
            m_descriptions[i]->setText(c.description);
            m_points[i]->setText(c.points);
            // A place without a settings row has nothing to save into.
            m_thresholds[i]->setEnabled(c.exists());
            m_descriptions[i]->setEnabled(c.exists());
        }
        m_grid->set_ranking(compute_rfm(*m_session.db, m_classes, m_session.clock.today()));
    });
    QApplication::restoreOverrideCursor();
}

void RfmScreen::save() {
    QVector<RfmClass> edited = m_classes;
    for (int i = 0; i < kRfmClassCount && i < edited.size(); ++i) {
        edited[i].threshold = m_thresholds.at(i)->text();
        edited[i].description = m_descriptions.at(i)->text();
    }
    const int bad = first_bad_threshold(edited);
    if (bad >= 0) {
        m_prompter.inform(kNumberMessage);
        m_thresholds.at(bad)->setFocus();
        m_thresholds.at(bad)->selectAll();
        return;
    }
    save_rfm_classes(*m_session.db, edited);
    // The boxes show what was stored; the scores follow at the next opening.
    for (int i = 0; i < kRfmClassCount && i < edited.size(); ++i) {
        edited[i].threshold = edited.at(i).threshold.trimmed();
        edited[i].description = edited.at(i).description.trimmed();
        m_thresholds[i]->setText(edited.at(i).threshold);
        m_descriptions[i]->setText(edited.at(i).description);
    }
    m_classes = edited;
    m_prompter.inform(QStringLiteral("保存しました"));
}
