// The main window's search frame: the kana box with its keyboard, the partial search and the list.

#include "ui/customers/main_window.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QShortcut>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/session.h"
#include "db/text_fold.h"
#include "ui/common/guard.h"
#include "ui/common/prompter.h"
#include "ui/records/chart_widget.h"

namespace {

// The captions of the hiragana keyboard by key index.
QString key_caption(int index) {
    static const QStringList captions = {"あ", "い", "う", "え", "お", "こ", "け", "く", "き", "か", "そ",
                                         "せ", "す", "し", "さ", "と", "て", "つ", "ち", "た", "の", "ね",
                                         "ぬ", "に", "な", "ほ", "へ", "ふ", "ひ", "は", "も", "め", "む",
                                         "み", "ま", "ん", "゛", "よ", "ゆ", "や", "。", "っ", "ゃ", "ゅ",
                                         "ょ", "ろ", "れ", "る", "り", "ら", "",   "",   "",   "",   "わ"};
    return captions.value(index);
}

// The keys as a table of the Japanese syllabary: one column per consonant, vowels downwards.
// -1 leaves a place empty.
constexpr int kKeyGrid[12][5] = {
    {0, 1, 2, 3, 4},      {9, 8, 7, 6, 5},      {14, 13, 12, 11, 10}, {19, 18, 17, 16, 15},
    {24, 23, 22, 21, 20}, {29, 28, 27, 26, 25}, {34, 33, 32, 31, 30}, {39, -1, 38, -1, 37},
    {49, 48, 47, 46, 45}, {54, -1, -1, -1, 35}, {41, 42, 43, 44, -1}, {36, 40, -1, -1, -1},
};

}  // namespace

QWidget* MainWindow::build_search_frame() {
    auto* frame = new QGroupBox(QStringLiteral("顧客検索"));
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* layout = new QVBoxLayout(frame);

    auto* row = new QHBoxLayout;
    auto* label3 = new QLabel(QStringLiteral("顧客かな"));
    label3->setObjectName(QStringLiteral("Label3"));
    m_findc = new QLineEdit;
    m_findc->setObjectName(QStringLiteral("findc"));
    auto* clear = new ClickLabel(QStringLiteral("クリア"));
    clear->setObjectName(QStringLiteral("Label5"));
    clear->setFrameShape(QFrame::Panel);
    clear->setFrameShadow(QFrame::Raised);
    clear->setAlignment(Qt::AlignCenter);
    clear->setMinimumWidth(56);
    clear->setCursor(Qt::PointingHandCursor);
    row->addWidget(label3);
    row->addWidget(m_findc, 1);
    row->addWidget(clear);
    layout->addLayout(row);
    connect(m_findc, &QLineEdit::textChanged, this, [this](const QString& text) { search(text); });
    connect(clear, &ClickLabel::clicked, this, [this] { m_findc->clear(); });

    auto* keys = new QGridLayout;
    keys->setSpacing(2);
    for (int col = 0; col < 12; ++col) {
        for (int r = 0; r < 5; ++r) {
            const int index = kKeyGrid[col][r];
            if (index < 0)
                continue;
            auto* key = new ClickLabel(key_caption(index));
            key->setObjectName(QStringLiteral("Label1_%1").arg(index));
            key->setAlignment(Qt::AlignCenter);
            key->setFixedSize(26, 26);
            // The voicing marks are small glyphs: draw them larger so they can be seen and hit.
            if (index == 36 || index == 40) {
                QFont big = key->font();
                big.setPointSizeF(big.pointSizeF() * 1.3);
                big.setBold(true);
                key->setFont(big);
            }
            key->setFrameShape(QFrame::Panel);
            key->setFrameShadow(QFrame::Raised);
            key->setAutoFillBackground(true);
            key->setCursor(Qt::PointingHandCursor);
            keys->addWidget(key, r, col);
            connect(key, &ClickLabel::clicked, this, [this, index] { press_key(index); });
        }
    }
    layout->addLayout(keys);

    layout->addWidget(build_partial_search_row());

    auto* label7 = new QLabel(QStringLiteral("リストをクリックして顧客選択する"));
    label7->setObjectName(QStringLiteral("Label7"));
    layout->addWidget(label7);

    m_model = new CustomerListModel(
        [this](const QVector<QString>& ids) {
            // Called while the list paints: a failure leaves the names empty instead of ending the program.
            QVector<QString> names;
            guarded(m_prompter, [&] { names = customer_names(*m_session.db, ids); });
            return names;
        },
        this);
    m_list = new QListView;
    m_list->setObjectName(QStringLiteral("List1"));
    m_list->setModel(m_model);
    m_list->setUniformItemSizes(true);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setMinimumHeight(180);
    layout->addWidget(m_list, 1);
    connect(m_list, &QListView::clicked, this, &MainWindow::list_clicked);
    // Enter, and moving through the list with the arrow keys, choose as a click does (a press of the
    // mouse also moves the current row: its click follows and chooses).
    auto choose_unless_shown = [this](const QModelIndex& index) {
        if (!m_filling_list && index.isValid() && m_model->id_at(index.row()) != m_shown_id)
            list_clicked(index);
    };
    connect(m_list, &QListView::activated, this, choose_unless_shown);
    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [choose_unless_shown](const QModelIndex& current) {
                if (QGuiApplication::mouseButtons() == Qt::NoButton)
                    choose_unless_shown(current);
            });
    frame->setFixedWidth(360);
    return frame;
}

void MainWindow::search(const QString& text) {
    if (text.isEmpty())
        return;  // the list keeps what it showed
    guarded(m_prompter, [&] {
        show_matches(search_customer_ids(*m_session.db, text));
        // The list shows this search's result: the other box no longer describes it.
        const QSignalBlocker blocker(m_findp);
        m_findp->clear();
    });
}

void MainWindow::partial_search(const QString& text) {
    if (partial_search_terms(text).value(0).size() < kPartialSearchMinimum)
        return;  // from the second character on; until then the list keeps what it showed
    guarded(m_prompter, [&] {
        show_matches(partial_search_customer_ids(*m_session.db, text));
        const QSignalBlocker blocker(m_findc);
        m_findc->clear();
    });
}

void MainWindow::show_matches(QVector<QString> ids) {
    const bool single = ids.size() == 1;
    const QString only = single ? ids.first() : QString();
    set_list_ids(std::move(ids));
    if (single)
        show_customer(only);
}

void MainWindow::set_list_ids(QVector<QString> ids) {
    // The chosen customer stays chosen when the new list still holds it.
    const QModelIndex current = m_list->currentIndex();
    const QString selected = current.isValid() ? m_model->id_at(current.row()) : QString();
    m_filling_list = true;
    m_model->set_ids(std::move(ids));
    m_hit_count->setText(QStringLiteral("%1 件").arg(m_model->rowCount()));
    const int row = m_model->row_of(selected);
    if (row >= 0) {
        const QModelIndex index = m_model->index(row);
        m_list->setCurrentIndex(index);
        m_list->scrollTo(index);
    }
    m_filling_list = false;
}

QWidget* MainWindow::build_partial_search_row() {
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    auto* caption = new QLabel(QStringLiteral("検索"));
    caption->setObjectName(QStringLiteral("findpLabel"));
    m_findp = new QLineEdit;
    m_findp->setObjectName(QStringLiteral("findp"));
    m_findp->setPlaceholderText(QStringLiteral("名前・住所・担当者・メール・電話番号の一部"));
    m_findp->setToolTip(QStringLiteral("Ctrl+F"));
    m_hit_count = new QLabel;
    m_hit_count->setObjectName(QStringLiteral("hitCount"));
    m_hit_count->setMinimumWidth(64);
    m_hit_count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row->addWidget(caption);
    row->addWidget(m_findp, 1);
    row->addWidget(m_hit_count);
    connect(m_findp, &QLineEdit::textChanged, this, [this](const QString& text) { partial_search(text); });
    auto* focus = new QShortcut(QKeySequence::Find, this);
    focus->setObjectName(QStringLiteral("findpShortcut"));
    connect(focus, &QShortcut::activated, this, [this] {
        m_findp->setFocus();
        m_findp->selectAll();
    });
    return box;
}

void MainWindow::press_key(int index) {
    m_findc->setText(apply_kana_key(m_findc->text(), key_caption(index)));
}

void MainWindow::list_clicked(const QModelIndex& index) {
    if (!index.isValid())
        return;
    const QString id = m_model->id_at(index.row());
    m_chart->clear_chart();
    guarded(m_prompter, [&] { show_customer(id); });
}
