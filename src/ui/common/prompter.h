#pragma once

#include <QString>
#include <QUrl>
#include <memory>

#include "app/table_csv.h"
#include "customers/csv_import.h"

class PrintJob;
class QWidget;

// A progress window with the button 中止, for a run of many steps.
class ProgressView {
public:
    virtual ~ProgressView() = default;
    // Shows label with done of the total steps; false once the user has chosen 中止.
    virtual bool step(int done, const QString& label) = 0;
};

// Every message box, Yes/No question, file dialog and "open in the default viewer" goes through
// here, so that tests can answer them without a modal dialog.
class Prompter {
public:
    virtual ~Prompter() = default;
    virtual void inform(const QString& text) = 0;
    virtual bool ask_yes_no(const QString& text) = 0;
    // Shows a file dialog. On a choice, chosen_name is the path trimmed and lower-cased and
    // typed_name the path as chosen; false when the user cancelled.
    virtual bool choose_file(QWidget* parent, const QString& title, const QString& filter, bool save,
                             QString& chosen_name, QString* typed_name) = 0;
    virtual bool open_document(const QUrl& url) = 0;
    // A progress window for total steps (a QProgressDialog with 中止 unless a test answers instead).
    virtual std::unique_ptr<ProgressView> progress(QWidget* parent, const QString& title, int total);
    // A folder dialog starting at start; the empty text when the user cancelled.
    virtual QString choose_folder(QWidget* /*parent*/, const QString& /*title*/, const QString& /*start*/) {
        return {};
    }

    // The outside worlds of exporting, copying and printing; the real ones unless a test replaces them.
    // Save dialog of an export, proposing name (a file name, or a path to open the dialog in): the
    // path and the chosen encoding; false on cancel.
    virtual bool choose_export_file(QWidget* parent, const QString& name, QString& path,
                                    CsvEncoding& encoding);
    virtual void copy_text(const QString& text);
    // The print preview, which prints or saves as PDF.
    virtual void print_preview(QWidget* parent, const PrintJob& job);

    // A list to choose one line from (several towns of a postal code): its index, or -1 on cancel.
    virtual int choose_item(QWidget* parent, const QString& title, const QString& text,
                            const QStringList& items);
    // The options of a customer import, asked after the file is chosen; false on cancel.
    virtual bool choose_import_options(QWidget* parent, const QString& title, const QString& path,
                                       CustomerImportOptions& options);

    // The file name that the next file dialog proposes (the backup's default name).
    void propose_file_name(const QString& name) { m_proposed_name = name; }
    QString proposed_file_name() const { return m_proposed_name; }

protected:
    QString m_proposed_name;
};

// The real dialogs.
class DialogPrompter : public Prompter {
public:
    explicit DialogPrompter(QWidget* parent = nullptr) : m_parent(parent) {}
    void inform(const QString& text) override;
    bool ask_yes_no(const QString& text) override;
    bool choose_file(QWidget* parent, const QString& title, const QString& filter, bool save,
                     QString& chosen_name, QString* typed_name) override;
    bool open_document(const QUrl& url) override;
    QString choose_folder(QWidget* parent, const QString& title, const QString& start) override;

private:
    QWidget* m_parent;
};

// "説明|パターン|説明|パターン" into Qt's "説明 (パターン);;説明 (パターン)".
QString convert_file_filter(const QString& filter);

// Places a window in the middle of the screen.
void center_form(QWidget* window);

// The file dialog with the working folder remembered and restored around it, so names opened
// without a folder (sales.ini) keep resolving to the program folder.
bool choose_file(Prompter& prompter, QWidget* parent, const QString& title, const QString& filter, bool save,
                 QString& chosen_name, QString* typed_name = nullptr);
