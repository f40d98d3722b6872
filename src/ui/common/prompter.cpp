#include "ui/common/prompter.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

#include "print/print_job.h"

namespace {
QString caption() {
    return QStringLiteral("営業手帳");
}
}  // namespace

namespace {
class DialogProgress : public ProgressView {
public:
    DialogProgress(QWidget* parent, const QString& title, int total)
        : m_dialog(QString(), QStringLiteral("中止"), 0, total, parent) {
        m_dialog.setObjectName(QStringLiteral("progress"));
        m_dialog.setWindowTitle(title);
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(0);
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
    }
    bool step(int done, const QString& label) override {
        m_dialog.setValue(done);
        m_dialog.setLabelText(label);
        if (!m_dialog.isVisible())
            m_dialog.show();
        // 中止 is looked at between two steps.
        QApplication::processEvents();
        return !m_dialog.wasCanceled();
    }

private:
    QProgressDialog m_dialog;
};
}  // namespace

std::unique_ptr<ProgressView> Prompter::progress(QWidget* parent, const QString& title, int total) {
    return std::make_unique<DialogProgress>(parent, title, total);
}

void DialogPrompter::inform(const QString& text) {
    QMessageBox::information(m_parent ? m_parent : QApplication::activeWindow(), caption(), text);
}

bool DialogPrompter::ask_yes_no(const QString& text) {
    QMessageBox box(QMessageBox::Question, caption(), text, QMessageBox::Yes | QMessageBox::No,
                    m_parent ? m_parent : QApplication::activeWindow());
    // Enter takes the safe answer, Esc says no; Y and N answer by their access keys.
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool DialogPrompter::choose_file(QWidget* parent, const QString& title, const QString& filter, bool save,
                                 QString& chosen_name, QString* typed_name) {
    const QString qt_filter = convert_file_filter(filter);
    const QString start =
        m_proposed_name.isEmpty() ? QDir::currentPath() : QDir(QDir::currentPath()).filePath(m_proposed_name);
    m_proposed_name.clear();
    const QString path = save ? QFileDialog::getSaveFileName(parent, title, start, qt_filter)
                              : QFileDialog::getOpenFileName(parent, title, start, qt_filter);
    if (path.isEmpty())
        return false;
    chosen_name = path.trimmed().toLower();
    if (typed_name)
        *typed_name = path;
    return true;
}

bool DialogPrompter::open_document(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

QString DialogPrompter::choose_folder(QWidget* parent, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(parent, title, start);
}

QString convert_file_filter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Patterns match case-insensitively in the old dialogs: offer both cases.
        QStringList both;
        for (const QString& p : patterns.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            both << p;
            if (p.toLower() != p)
                both << p.toLower();
        }
        out << QStringLiteral("%1 (%2)").arg(parts.at(i), both.join(QLatin1Char(' ')));
    }
    if (out.isEmpty())
        return filter;
    return out.join(QStringLiteral(";;"));
}

void center_form(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize size =
        window->frameGeometry().size().isValid() ? window->frameGeometry().size() : window->size();
    window->move(area.x() + (area.width() - size.width()) / 2,
                 area.y() + (area.height() - size.height()) / 2);
}

bool choose_file(Prompter& prompter, QWidget* parent, const QString& title, const QString& filter, bool save,
                 QString& chosen_name, QString* typed_name) {
    const QString folder = QDir::currentPath();
    const bool chosen = prompter.choose_file(parent, title, filter, save, chosen_name, typed_name);
    QDir::setCurrent(folder);
    return chosen;
}

bool Prompter::choose_export_file(QWidget* parent, const QString& name, QString& path,
                                  CsvEncoding& encoding) {
    const QString utf8 = QStringLiteral("CSV UTF-8 (Excel 用) (*.csv)");
    const QString sjis = QStringLiteral("CSV Shift_JIS (*.csv)");
    QFileDialog dialog(parent, QStringLiteral("書き出し"), QDir(QDir::currentPath()).filePath(name));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({utf8, sjis});
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    const QString folder = QDir::currentPath();
    const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    QDir::setCurrent(folder);  // names without a folder keep resolving to the program folder
    if (!accepted)
        return false;
    path = dialog.selectedFiles().first();
    encoding = dialog.selectedNameFilter() == sjis ? CsvEncoding::ShiftJis : CsvEncoding::Utf8Bom;
    return true;
}

void Prompter::copy_text(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
}

void Prompter::print_preview(QWidget* parent, const PrintJob& job) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(job.heading().title);
    job.prepare(printer);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("印刷プレビュー - ") + job.heading().title);
    dialog.resize(1000, 760);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&job](QPrinter* target) { job.paint(*target); });
    dialog.exec();
}

int Prompter::choose_item(QWidget* parent, const QString& title, const QString& text,
                          const QStringList& items) {
    QDialog dialog(parent ? parent : QApplication::activeWindow());
    dialog.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    layout->addWidget(label);
    auto* list = new QListWidget;
    list->setObjectName(QStringLiteral("choices"));
    list->addItems(items);
    list->setCurrentRow(0);
    list->setMinimumWidth(420);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("選択"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    if (dialog.exec() != QDialog::Accepted)
        return -1;
    return list->currentRow();
}

bool Prompter::choose_import_options(QWidget* parent, const QString& title, const QString& path,
                                     CustomerImportOptions& options) {
    QDialog dialog(parent ? parent : QApplication::activeWindow());
    dialog.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("読み込むファイル: %1").arg(QDir::toNativeSeparators(path))));
    auto* phones = new QCheckBox(QStringLiteral("電話番号（TEL・FAX・携帯）を 03-1234-5678 の形にそろえる"));
    phones->setObjectName(QStringLiteral("formatPhones"));
    phones->setChecked(options.format_phones);
    phones->setToolTip(
        QStringLiteral("番号として確かめられないもの、外国の番号は、ファイルのとおりに読み込みます。"));
    layout->addWidget(phones);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("読み込む"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    options.format_phones = phones->isChecked();
    return true;
}
