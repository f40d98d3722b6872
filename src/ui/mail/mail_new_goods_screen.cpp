#include "ui/mail/mail_new_goods_screen.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/session.h"
#include "ui/common/guard.h"
#include "ui/common/list_tools.h"
#include "ui/common/prompter.h"
#include "ui/mail/mail_broadcast.h"

MailNewGoodsScreen::MailNewGoodsScreen(Session& session, Prompter& prompter,
                                       std::function<void()> open_templates, QWidget* parent)
    : EntryWindow(parent), m_session(session), m_prompter(prompter) {
    setObjectName(QStringLiteral("new_goods_sales"));
    setWindowTitle(QStringLiteral("新商品キャンペーン"));
    auto button = [](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };

    auto* step1 = new QGroupBox(QStringLiteral("１　旧商品の選択"));
    m_combo1 = new QComboBox;
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo1->setMinimumWidth(220);
    m_label1 = new QLabel;
    m_label1->setObjectName(QStringLiteral("Label1"));
    auto* l1 = new QHBoxLayout(step1);
    l1->addWidget(m_combo1);
    l1->addWidget(m_label1, 1);

    auto* step2 = new QGroupBox(QStringLiteral("２　旧商品販売顧客の抽出"));
    m_list1 = new QListWidget;
    m_list1->setObjectName(QStringLiteral("List1"));
    install_list_tools(m_list1, m_session, m_prompter, QStringLiteral("顧客名"));
    auto* extract = button("Command1", QStringLiteral("抽出"));
    auto* l2 = new QVBoxLayout(step2);
    l2->addWidget(extract, 0, Qt::AlignLeft);
    l2->addWidget(m_list1);

    auto* step3 = new QGroupBox(QStringLiteral("３　メール本文作成"));
    m_combo2 = new QComboBox;
    m_combo2->setObjectName(QStringLiteral("Combo2"));
    m_combo2->setMinimumWidth(220);
    m_label5 = new QLabel;
    m_label5->setObjectName(QStringLiteral("Label5"));
    auto* edit = button("Command2", QStringLiteral("既存テンプレート編集"));
    auto* l3 = new QGridLayout(step3);
    l3->addWidget(new QLabel(QStringLiteral("既存から選択")), 0, 0);
    l3->addWidget(m_combo2, 0, 1);
    l3->addWidget(edit, 0, 2);
    l3->addWidget(new QLabel(QStringLiteral("選択されたテンプレート")), 1, 0);
    l3->addWidget(m_label5, 1, 1, 1, 2);

    auto* step4 = new QGroupBox(QStringLiteral("４　メールの送信"));
    auto* send = button("Command3", QStringLiteral("同報メール送信"));
    (new QHBoxLayout(step4))->addWidget(send, 0, Qt::AlignLeft);

    auto* close = button("Command4", QStringLiteral("閉じる"));
    auto* layout = new QVBoxLayout(this);
    for (QWidget* w : {static_cast<QWidget*>(step1), static_cast<QWidget*>(step2),
                       static_cast<QWidget*>(step3), static_cast<QWidget*>(step4)})
        layout->addWidget(w);
    layout->addWidget(close, 0, Qt::AlignRight);

    connect(m_combo1, &QComboBox::activated, this, [this](int index) {
        if (index < 0 || index >= m_goods.ids.size())
            return;
        m_label1->setText(m_goods.names.at(index));
        m_goods_id = m_goods.ids.at(index);
    });
    connect(m_combo2, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < m_templates.names.size())
            m_label5->setText(m_templates.names.at(index));
    });
    connect(extract, &QPushButton::clicked, this, [this] { guarded(m_prompter, [this] { list_buyers(); }); });
    connect(edit, &QPushButton::clicked, this, [open_templates] {
        if (open_templates)
            open_templates();
    });
    connect(send, &QPushButton::clicked, this, [this] { guarded(m_prompter, [this] { this->send(); }); });
    connect(close, &QPushButton::clicked, this, &QWidget::hide);

    guarded(m_prompter, [this] {
        set_template();
        load_goods();
    });
    resize(560, 600);
}

void MailNewGoodsScreen::set_template() {
    m_combo2->clear();
    m_templates = load_templates(*m_session.db);
    m_combo2->addItems(m_templates.names);
    m_combo2->setCurrentIndex(-1);
}

void MailNewGoodsScreen::load_goods() {
    m_goods = goods_choice(*m_session.db);
    m_combo1->addItems(m_goods.names);
    m_combo1->setCurrentIndex(-1);
}

void MailNewGoodsScreen::list_buyers() {
    m_list1->clear();
    if (m_goods_id.isEmpty()) {
        m_prompter.inform(QStringLiteral("旧商品を選択してください"));
        return;
    }
    m_list1->addItems(goods_buyers(*m_session.db, m_goods_id));
}

void MailNewGoodsScreen::send() {
    const int chosen = m_combo2->currentIndex();
    if (chosen < 0 || chosen >= m_templates.bodies.size()) {
        m_prompter.inform(QStringLiteral("テンプレートを選択してください"));
        return;
    }
    QStringList names;
    for (int i = 0; i < m_list1->count(); ++i)
        names << m_list1->item(i)->text();
    run_broadcast(this, m_session, m_prompter, names, m_label5->text(), m_templates.bodies.at(chosen));
}
