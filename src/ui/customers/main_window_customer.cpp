// The main window's customer frame: showing a customer, and new entry, change and delete.

#include "ui/customers/main_window.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSignalBlocker>

#include "app/session.h"
#include "customers/duplicates.h"
#include "customers/history_chart.h"
#include "ui/common/address_entry.h"
#include "ui/common/guard.h"
#include "ui/common/prompter.h"
#include "ui/common/save_conflict.h"
#include "ui/records/chart_widget.h"

namespace {

const QStringList kFieldCaptions = {"顧客名", "顧客名かな", "都道府県", "郵便番号", "",       "住所",
                                    "TEL",    "FAX",        "携帯",     "Email",    "担当者", "担当者かな",
                                    "ランク", "タイプ",     "ＲＭＦ",   "",         "",       "備考"};

// The frame's background while a customer is browsed, and while a new one is entered.
const QColor kBrowseColour(255, 255, 255);
const QColor kNewEntryColour(200, 250, 200);

// A customer sharing the folded name, a phone number or the mail address with another is saved only
// when the user says so.
bool confirm_unique(Database& db, Prompter& prompter, const QStringList& fields, const QString& own_id) {
    const std::optional<DuplicateMatch> match = find_duplicate_customer(db, fields, own_id);
    return !match || prompter.ask_yes_no(duplicate_question(*match));
}

}  // namespace

QWidget* MainWindow::build_customer_frame() {
    m_frame2 = new QGroupBox(QStringLiteral("顧客基本情報"));
    m_frame2->setObjectName(QStringLiteral("Frame2"));
    m_frame2->setAutoFillBackground(true);
    auto* grid = new QGridLayout(m_frame2);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);

    for (int i = 0; i < kCustomerFieldCount; ++i) {
        auto* edit = new QLineEdit;
        edit->setObjectName(QStringLiteral("Text1_%1").arg(i));
        // The fields the user classifies by hand are set apart by a darker grey.
        const bool manual = i >= 12 && i <= 16;
        edit->setStyleSheet(manual ? QStringLiteral("background-color: rgb(192,192,192);")
                                   : QStringLiteral("background-color: rgb(224,224,224);"));
        m_fields << edit;
        connect(edit, &QLineEdit::returnPressed, this,
                [this, i] { m_fields.at((i + 1) % kCustomerFieldCount)->setFocus(); });
    }
    auto caption = [](int i) {
        auto* l = new QLabel(kFieldCaptions.at(i));
        l->setObjectName(QStringLiteral("FieldLabel_%1").arg(i));
        return l;
    };
    // Two columns of fields; the paired ones (postal code, RMF) share a row.
    int row = 0;
    auto put = [&](int col, int item, int span = 3) {
        grid->addWidget(caption(item), row, col * 4);
        grid->addWidget(m_fields[item], row, col * 4 + 1, 1, span);
    };
    put(0, 0);
    put(1, 1);
    ++row;
    put(0, 2);
    grid->addWidget(caption(3), row, 4);
    grid->addWidget(m_fields[3], row, 5);
    grid->addWidget(new QLabel(QStringLiteral("-")), row, 6, Qt::AlignCenter);
    // The postal code and the address fill one another; phone numbers are grouped on leaving a box.
    auto* postal =
        new PostalAddressEntry(m_fields[3], m_fields[4], m_fields[2], m_fields[5], m_prompter, m_frame2);
    auto* code2 = new QHBoxLayout;
    code2->addWidget(m_fields[4]);
    code2->addWidget(postal->button());
    grid->addLayout(code2, row, 7);
    new PhoneNumberEntry({m_fields[6], m_fields[7], m_fields[8]}, m_frame2);
    ++row;
    put(0, 5, 7);
    ++row;
    put(0, 6);
    put(1, 7);
    ++row;
    put(0, 8);
    put(1, 9);
    ++row;
    put(0, 10);
    put(1, 11);
    ++row;
    put(0, 12);
    put(1, 13);
    ++row;
    grid->addWidget(caption(14), row, 0);
    grid->addWidget(m_fields[14], row, 1);
    grid->addWidget(m_fields[15], row, 2);
    grid->addWidget(m_fields[16], row, 3);
    ++row;
    put(0, 17, 7);
    ++row;

    auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    m_command1 = button("Command1", "新規顧客追加");
    m_command2 = button("Command2", "キャンセル");
    m_command3 = button("Command3", "保存終了");
    m_command4 = button("Command4", "新規顧客　保存および次の入力");
    m_command6 = button("Command6", "変更");
    m_delete = button("delete_cust", "削除");
    m_mail_one = button("mail_one", "メール送信");
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {m_command1, m_command2, m_command3, m_command4, m_command6, m_delete, m_mail_one})
        buttons->addWidget(b);
    buttons->addStretch(1);
    grid->addLayout(buttons, row, 0, 1, 8);

    connect(m_command1, &QPushButton::clicked, this, &MainWindow::new_entry);
    connect(m_command2, &QPushButton::clicked, this, &MainWindow::cancel_entry);
    connect(m_command3, &QPushButton::clicked, this, &MainWindow::save_and_close);
    connect(m_command4, &QPushButton::clicked, this, &MainWindow::save_and_next);
    connect(m_command6, &QPushButton::clicked, this, &MainWindow::update_shown);
    connect(m_delete, &QPushButton::clicked, this, &MainWindow::delete_shown);
    connect(m_mail_one, &QPushButton::clicked, this, [this] {
        if (!refuse_without_customer())
            run_action(QStringLiteral("mail_one"));
    });
    set_frame2_colour(kBrowseColour);
    return m_frame2;
}

bool MainWindow::show_customer(const QString& customer_id) {
    bool numeric = false;
    customer_id.trimmed().toLongLong(&numeric);
    if (!numeric)
        return false;
    // The fields show the row kept for the write-conflict check, so both are the same read.
    StoredRow stored = read_stored_row(*m_session.db, customer_address(customer_id));
    if (!stored.found || stored.values.size() < kCustomerFieldCount + 1)
        return false;
    m_shown_row = stored;
    const std::optional<QStringList> row = row_texts(stored);
    for (int i = 1; i <= kCustomerFieldCount; ++i)
        m_fields[i - 1]->setText(row->at(i));
    for (auto* l : m_links)
        l->show();
    for (auto* l : m_legend)
        l->show();
    for (QWidget* w : {static_cast<QWidget*>(m_command1), static_cast<QWidget*>(m_command6),
                       static_cast<QWidget*>(m_mail_one), static_cast<QWidget*>(m_delete), m_status})
        w->show();
    m_command2->hide();
    m_command3->hide();
    m_command4->hide();
    // Choosing a customer ends a new entry, so the frame loses the new-entry colour too.
    set_frame2_colour(kBrowseColour);
    m_session.current_customer_id = row->at(0);
    m_session.current_customer_name = m_fields[0]->text();
    m_session.history_scope = 2;
    m_shown_id = row->at(0);
    m_label8->setText(QStringLiteral("商品1年間履歴"));
    m_chart->set_chart(
        load_history(*m_session.db, HistoryFilter::customer(row->at(0)), m_session.clock.today()));
    emit customer_shown();
    return true;
}

QStringList MainWindow::field_texts() const {
    QStringList texts;
    for (const QLineEdit* f : m_fields)
        texts << f->text();
    return texts;
}

void MainWindow::clear_fields() {
    for (QLineEdit* f : m_fields)
        f->clear();
}

void MainWindow::set_frame2_colour(const QColor& colour) {
    QPalette pal = m_frame2->palette();
    pal.setColor(QPalette::Window, colour);
    m_frame2->setPalette(pal);
}

bool MainWindow::refuse_without_customer() {
    if (!m_session.current_customer_id.isEmpty())
        return false;
    m_prompter.inform(QStringLiteral("顧客を選択してください"));
    return true;
}

void MainWindow::forget_shown_customer() {
    // Nothing may go on acting for the customer that was shown: entry screens read these values.
    m_shown_id.clear();
    m_session.current_customer_id.clear();
    m_session.current_customer_name.clear();
    m_chart->clear_chart();
    m_label8->setText(QStringLiteral("1年間の履歴図"));
    emit customer_forgotten();
}

// What only a shown customer offers: its commands, links and the chart's legend.
void MainWindow::hide_customer_controls() {
    for (QWidget* w : {static_cast<QWidget*>(m_command2), static_cast<QWidget*>(m_command3),
                       static_cast<QWidget*>(m_command4), static_cast<QWidget*>(m_command6),
                       static_cast<QWidget*>(m_delete), static_cast<QWidget*>(m_mail_one), m_status})
        w->hide();
    for (auto* l : m_links)
        l->hide();
    for (auto* l : m_legend)
        l->hide();
}

void MainWindow::show_no_customer() {
    clear_fields();
    forget_shown_customer();
    m_shown_row = StoredRow();
    hide_customer_controls();
    m_command1->show();
    set_frame2_colour(kBrowseColour);
}

void MainWindow::refresh_shown_customer() {
    if (m_shown_id.isEmpty())
        return;
    const QString id = m_shown_id;
    const StoredRow stored = read_stored_row(*m_session.db, customer_address(id));
    if (!stored.found) {
        show_no_customer();
        return;
    }
    if (stored != m_shown_row) {
        show_customer(id);
        return;
    }
    m_chart->set_chart(load_history(*m_session.db, HistoryFilter::customer(id), m_session.clock.today()));
}

void MainWindow::customers_changed(const QStringList& gone, const QStringList& back) {
    guarded(m_prompter, [&] {
        QVector<QString> ids;
        ids.reserve(m_model->rowCount() + back.size());
        for (int r = 0; r < m_model->rowCount(); ++r)
            if (!gone.contains(m_model->id_at(r)))
                ids << m_model->id_at(r);
        bool changed = ids.size() != m_model->rowCount();
        for (const QString& id : back) {
            if (ids.contains(id) || !read_stored_row(*m_session.db, customer_address(id)).found)
                continue;
            ids << id;
            changed = true;
        }
        if (changed)
            set_list_ids(std::move(ids));
        refresh_shown_customer();
    });
}

void MainWindow::new_entry() {
    clear_fields();
    forget_shown_customer();
    m_command1->hide();
    m_command6->hide();
    m_command2->show();
    m_command3->show();
    m_command4->show();
    set_frame2_colour(kNewEntryColour);
    m_fields[0]->setFocus();
}

void MainWindow::cancel_entry() {
    clear_fields();
    forget_shown_customer();
    m_command1->show();
    m_command6->show();
    m_command2->hide();
    m_command3->hide();
    m_command4->hide();
    m_delete->hide();
    set_frame2_colour(kBrowseColour);
}

void MainWindow::save_and_close() {
    const QString name = m_fields[0]->text();
    bool saved = false;
    if (!guarded(m_prompter,
                 [&] {
                     if ((saved = confirm_unique(*m_session.db, m_prompter, field_texts(), QString())))
                         insert_customer(*m_session.db, field_texts());
                 }) ||
        !saved)
        return;
    show_status(QStringLiteral("顧客を保存しました（%1）").arg(name));
    clear_fields();
    m_command1->show();
    m_command6->show();
    m_command2->hide();
    m_command3->hide();
    m_command4->hide();
    // The new entry is over: the frame shows so.
    set_frame2_colour(kBrowseColour);
}

void MainWindow::save_and_next() {
    guarded(m_prompter, [&] {
        const QStringList fields = field_texts();
        const int error = check_new_customer(*m_session.db, fields);
        if (error != 0) {
            m_prompter.inform(customer_check_message(error));
            return;
        }
        if (!confirm_unique(*m_session.db, m_prompter, fields, QString()))
            return;
        insert_customer(*m_session.db, fields);
        show_status(QStringLiteral("顧客を保存しました（%1）").arg(fields.at(0)));
    });
}

void MainWindow::update_shown() {
    if (m_shown_id.isEmpty()) {
        m_prompter.inform(QStringLiteral("顧客を選択してください"));
        return;
    }
    bool saved = false;
    const QString id = m_shown_id;
    guarded(m_prompter, [&] {
        if (!confirm_unique(*m_session.db, m_prompter, field_texts(), id))
            return;
        saved = save_shown_row(
            m_prompter, m_shown_row,
            [&](const StoredRow* shown, StoredRow* stored) {
                return update_customer(*m_session.db, field_texts(), id, shown, stored);
            },
            [&] { show_customer(id); });
    });
    if (saved)
        show_status(QStringLiteral("顧客情報を変更しました（%1）").arg(m_fields[0]->text()));
    else
        guarded(m_prompter, [&] { refresh_shown_customer(); });  // another PC may have deleted it
}

void MainWindow::delete_shown() {
    // In new entry or after cancel no customer is shown: there is nothing to delete.
    if (m_shown_id.isEmpty()) {
        m_prompter.inform(QStringLiteral("顧客を選択してください"));
        return;
    }
    if (m_prompter.ask_yes_no(QStringLiteral("本当に削除しますか"))) {
        const QString name = m_fields[0]->text();
        bool deleted = false;
        const QString id = m_shown_id;
        guarded(m_prompter, [&] {
            deleted = save_shown_row(
                m_prompter, m_shown_row,
                [&](const StoredRow* shown, StoredRow* stored) {
                    return delete_customer(*m_session.db, id, m_session.current_employee, shown, stored);
                },
                [&] { show_customer(id); });
        });
        if (deleted) {
            m_model->clear();
            m_hit_count->clear();
            m_findc->clear();
            {
                // The list is empty now: neither search box describes it.
                const QSignalBlocker blocker(m_findp);
                m_findp->clear();
            }
            // Nothing may go on acting for the deleted customer: 変更, the links and their screens.
            show_no_customer();
            show_status(QStringLiteral("顧客を削除しました（%1）").arg(name));
        } else {
            guarded(m_prompter, [&] { refresh_shown_customer(); });
        }
    }
    m_delete->hide();
}
