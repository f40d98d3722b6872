#include "ui/records/datalist.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "app/session.h"
#include "db/schema.h"
#include "records/record_list.h"
#include "ui/common/figure_text.h"
#include "ui/common/guard.h"
#include "ui/common/list_tools.h"
#include "ui/common/prompter.h"
#include "ui/common/save_conflict.h"
#include "ui/records/detail_view.h"

namespace {

constexpr int kBoxes = 9;
const QString kStatusField = QStringLiteral("状況");
constexpr int kStatusBox = 4;  // the box of field 5

}  // namespace

// ---- RecordTableModel

int RecordTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows.row_count();
}

int RecordTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_headings.size();
}

QVariant RecordTableModel::data(const QModelIndex& index, int role) const {
    if ((role != Qt::DisplayRole && role != kExactTextRole) || !index.isValid())
        return {};
    return m_rows(index.column(), index.row() + 1);
}

QVariant RecordTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return m_headings.value(section);
    return section + 1;
}

void RecordTableModel::set_records(const QStringList& headings, ResultTable rows) {
    beginResetModel();
    m_headings = headings;
    m_rows = std::move(rows);
    endResetModel();
}

void RecordTableModel::clear() {
    set_records({}, ResultTable());
}

// ---- RecordListScreen

RecordListScreen::RecordListScreen(Session& session, Prompter& prompter, QWidget* parent)
    : EntryWindow(parent), m_session(session), m_prompter(prompter) {
    setObjectName(QStringLiteral("datalist"));
    setWindowTitle(QStringLiteral("履歴データ表示編集"));
    auto* layout = new QVBoxLayout(this);

    m_model = new RecordTableModel(this);
    m_grid = new QTableView;
    m_grid->setObjectName(QStringLiteral("MSFlexGrid1"));
    m_grid->setModel(m_model);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 6);
    m_grid->horizontalHeader()->setDefaultSectionSize(110);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    install_list_tools(m_grid, m_session, m_prompter);
    layout->addWidget(m_grid, 1);
    connect(m_grid, &QTableView::clicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            choose_row(index.row());
    });

    auto* hint = new QLabel(QStringLiteral("クリックして該当のデータが修正ができます"));
    hint->setObjectName(QStringLiteral("Label3"));
    layout->addWidget(hint);

    auto* frame = new QGroupBox(QStringLiteral("履歴詳細編集"));
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* grid = new QGridLayout(frame);
    m_label2 = new QLabel;
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_label2->setFrameShape(QFrame::Panel);
    m_label2->setFrameShadow(QFrame::Sunken);
    m_label2->setMinimumWidth(80);
    grid->addWidget(m_label2, 0, 0, 1, 2, Qt::AlignLeft);
    m_label1.resize(kBoxes + 1);
    for (int i = 1; i <= kBoxes; ++i) {
        m_label1[i] = new QLabel;
        m_label1[i]->setObjectName(QStringLiteral("Label1_%1").arg(i));
        grid->addWidget(m_label1[i], i, 0);
        auto* box = new QLineEdit;
        box->setObjectName(QStringLiteral("Text1_%1").arg(i - 1));
        box->installEventFilter(this);
        box->setToolTip(QStringLiteral("ダブルクリックで詳細表示"));
        // A box holds the longest text a column can store (a line edit keeps 32,767 by default).
        box->setMaxLength(kLongTextBytes);
        m_text1 << box;
        grid->addWidget(box, i, 1);
    }
    m_combo = new QComboBox;
    m_combo->setObjectName(QStringLiteral("Combo1"));
    grid->addWidget(m_combo, kStatusBox + 1, 2);
    // A chosen status goes into the status box (field 5).
    connect(m_combo, &QComboBox::activated, this,
            [this](int) { m_text1[kStatusBox]->setText(m_combo->currentText()); });
    grid->setColumnStretch(1, 1);

    auto button = [](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    auto* new_button = button("newB", "新規");
    auto* save_button = button("saveB", "保存");
    // Records are made on the entry screens; these two are kept for their place only.
    new_button->setEnabled(false);
    save_button->setEnabled(false);
    m_update = button("updateB", "更新");
    m_delete = button("deleteB", "削除");
    m_cancel = button("cancelB", "閉じる");
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {new_button, save_button, m_update, m_delete, m_cancel})
        buttons->addWidget(b);
    buttons->addStretch(1);
    grid->addLayout(buttons, kBoxes + 1, 0, 1, 3);
    layout->addWidget(frame);
    connect(m_update, &QPushButton::clicked, this, &RecordListScreen::update_record);
    connect(m_delete, &QPushButton::clicked, this, &RecordListScreen::delete_record);
    connect(m_cancel, &QPushButton::clicked, this, &RecordListScreen::close_list);
    set_key_buttons({m_update}, m_cancel);

    guarded(m_prompter, [&] { m_combo->addItems(load_statuses(*m_session.db)); });
    m_combo->hide();
    m_update->hide();
    m_delete->hide();
    for (int i = 1; i <= kBoxes; ++i) {
        m_label1[i]->hide();
        m_text1[i - 1]->hide();
    }

    m_read = QStringList(kBoxes, QString());
    m_box_texts = m_read;
    m_detail = new DetailView(this);
    connect(m_detail, &DetailView::returned, this, [this](int position, const QString& text) {
        if (position >= 0 && position < m_text1.size())
            m_text1[position]->setText(text);
    });

    resize(960, 640);
    center_form(this);
}

RecordListScreen::~RecordListScreen() = default;

void RecordListScreen::set_datagrid() {
    m_entry = m_session.selected_table;
    // Cleared first: opening another table never mixes its rows with the last one's.
    m_model->clear();
    if (m_entry < 0 || m_entry >= m_session.table_items.size())
        return;
    const TableItem& item = m_session.table_items.at(m_entry);
    const int n = std::clamp(item.field_count, 1, 8);
    guarded(m_prompter, [&] {
        ResultTable rows = load_record_list(*m_session.db, m_session, m_entry);
        m_model->set_records(item.field_names.mid(0, n), std::move(rows));
        QVector<Figure> figures;
        for (const QString& field : item.field_names.mid(0, n))
            figures << figure_of_field(field);
        show_figures(m_grid, figures);
    });
}

void RecordListScreen::choose_row(int row) {
    if (m_entry < 0 || m_entry >= m_session.table_items.size() || row < 0 || row >= m_model->rowCount())
        return;
    const TableItem& item = m_session.table_items.at(m_entry);
    const int n = std::clamp(item.field_count, 1, 8);
    m_cancel->show();
    m_update->show();
    m_delete->show();
    m_key = m_model->text(row, 0);
    m_label2->setText(m_key);
    guarded(m_prompter, [&] {
        m_shown = read_stored_row(*m_session.db, record_address(item, m_key));
        // A grid older than the stored record counts as a change by another PC: the save asks.
        const QStringList stored = row_texts(m_shown);
        for (int c = 0; c < m_model->columnCount() && m_shown.found; ++c) {
            if (stored.value(c) != m_model->text(row, c)) {
                m_shown = row_from_texts({});
                break;
            }
        }
    });
    for (int i = 1; i <= kBoxes; ++i) {
        const bool used = i < n;
        m_read[i - 1] = used ? m_model->text(row, i) : QString();
        m_text1[i - 1]->setText(m_read.at(i - 1));
        m_box_texts[i - 1] = m_text1[i - 1]->text();
        m_text1[i - 1]->setVisible(used);
        m_label1[i]->setText(i <= n ? item.field_names.value(i) : QString());
        m_label1[i]->setVisible(i <= n);
    }
    const bool status = m_label1[kStatusBox + 1]->text() == kStatusField;
    m_combo->setVisible(status);
    m_text1[kStatusBox]->setReadOnly(status);
    if (status) {
        // The row's own status is selected, so an update that leaves the list alone keeps it.
        m_combo->setCurrentIndex(m_combo->findText(m_text1[kStatusBox]->text()));
    }
}

void RecordListScreen::update_record() {
    if (m_entry < 0 || m_entry >= m_session.table_items.size() || m_key.isEmpty())
        return;
    const TableItem& item = m_session.table_items.at(m_entry);
    QStringList boxes;
    for (int i = 0; i < m_text1.size(); ++i)
        boxes << box_value(i);
    // A status missing from the list (e.g. one written by the mail intake) stays as the box shows it.
    const QString status = m_combo->currentIndex() >= 0 ? m_combo->currentText() : boxes.value(kStatusBox);
    QStringList messages;
    bool saved = false;
    const bool ran = guarded(m_prompter, [&] {
        saved = save_shown_row(
            m_prompter, m_shown,
            [&](const StoredRow* shown, StoredRow* stored) {
                WriteCheck check = WriteCheck::Clear;
                messages = ::update_record(*m_session.db, item, m_key, boxes, status, m_session.clock.today(),
                                           shown, stored, &check);
                return check;
            },
            [&] { reshow_record(); });
    });
    if (ran && !saved && messages.isEmpty())
        return;  // not stored: another PC's change is shown, or the record is gone
    for (int i = 0; i < m_text1.size() && i < boxes.size(); ++i) {
        if (item.field_names.value(i + 1).contains(QStringLiteral("日")))
            m_text1[i]->setText(boxes.at(i));
    }
    for (const QString& message : messages)
        m_prompter.inform(message);
    if (!ran || !messages.isEmpty())
        return;
    // What is stored now is what the next update writes back for a box left alone.
    for (int i = 0; i < m_text1.size() && i < boxes.size(); ++i) {
        m_read[i] = boxes.at(i);
        m_box_texts[i] = m_text1[i]->text();
    }
    set_datagrid();
    m_combo->hide();
}

void RecordListScreen::delete_record() {
    if (m_prompter.ask_yes_no(QStringLiteral("本当に削除しますか")) && m_entry >= 0 &&
        m_entry < m_session.table_items.size()) {
        const TableItem& item = m_session.table_items.at(m_entry);
        bool reshown = false;
        guarded(m_prompter, [&] {
            save_shown_row(
                m_prompter, m_shown,
                [&](const StoredRow* shown, StoredRow* stored) {
                    WriteCheck check = WriteCheck::Clear;
                    ::delete_record(*m_session.db, item, m_key, m_session.current_employee, shown, stored, &check);
                    return check;
                },
                [&] {
                    reshow_record();
                    reshown = true;
                });
        });
        if (reshown)
            return;
    }
    close_list();
}

void RecordListScreen::reshow_record() {
    const QString key = m_key;
    set_datagrid();
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (m_model->text(row, 0) == key) {
            choose_row(row);
            return;
        }
    }
}

void RecordListScreen::close_list() {
    for (QLineEdit* box : m_text1)
        box->clear();
    for (int i = 1; i <= kBoxes; ++i)
        m_label1[i]->clear();
    m_label2->clear();
    m_key.clear();
    m_model->clear();
    m_combo->hide();
    m_update->hide();
    m_delete->hide();
    if (m_detail)
        m_detail->hide();
    hide();
}

QString RecordListScreen::box_value(int position) const {
    // A box the user left alone stands for the value exactly as it was read, whatever the line edit
    // made of it (line breaks, length).
    const QString text = m_text1.at(position)->text();
    return text == m_box_texts.value(position) ? m_read.value(position) : text;
}

void RecordListScreen::open_detail(int position) {
    if (!m_detail)
        return;
    m_detail->edit(m_label1[position + 1]->text(), position, box_value(position));
    m_detail->show();
    m_detail->raise();
    m_detail->activateWindow();
}

bool RecordListScreen::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        const int position = m_text1.indexOf(qobject_cast<QLineEdit*>(watched));
        if (position >= 0) {
            open_detail(position);
            return true;
        }
    }
    // Not EntryWindow's filter: these boxes take no thousands separators.
    return QWidget::eventFilter(watched, event);
}
