#pragma once

#include <QStringList>
#include <QTemporaryDir>
#include <QVector>
#include <memory>

#include "app/session.h"
#include "db/database.h"
#include "print/print_job.h"
#include "ui/common/prompter.h"

// A temporary program folder with a fresh embedded database (schema and seed rows), sales.ini,
// and a session loaded from it with the clock fixed.
class TestFolder {
public:
    explicit TestFolder(const QDate& today = QDate(2026, 12, 8));

    QString path() const { return m_dir.path(); }
    QString database_path() const;
    Session& session() { return m_session; }
    Database& db() { return *m_session.db; }

    // Statements for arranging test data and reading back what was stored.
    void exec(const QString& statement) { db().execute_sql(statement); }
    ResultTable rows(const QString& statement, int columns) { return db().query_rows(statement, columns); }
    QString value(const QString& statement) { return rows(statement, 1)(0, 1); }
    int count(const QString& table) { return value(QStringLiteral("select count(*) from ") + table).toInt(); }

    QString add_employee(const QString& name);
    // Adds a customer and returns its key.
    QString add_customer(const QString& name, const QString& kana);
    QString add_goods(const QString& name, const QString& price);
    // Reloads the start-up values (employees, company row, table descriptions).
    void reload();

private:
    QTemporaryDir m_dir;
    Session m_session;
};

// Answers dialogs from a queue and records every message, so tests can assert what the user saw.
class QueuedPrompter : public Prompter {
public:
    QStringList messages;
    QStringList questions;
    QVector<bool> answers;  // next Yes/No answers; No when empty
    QStringList files;      // next chosen file names; cancel when empty
    QStringList folders;    // next chosen folders; cancel when empty
    QVector<QUrl> opened;
    QStringList export_files;      // next export paths; cancel when empty
    QStringList export_proposals;  // what each export's save dialog proposed
    CsvEncoding export_encoding = CsvEncoding::Utf8Bom;
    std::vector<PrintJob> printed;  // what went to the print preview

    void inform(const QString& text) override { messages << text; }
    bool ask_yes_no(const QString& text) override {
        questions << text;
        return answers.isEmpty() ? false : answers.takeFirst();
    }
    bool choose_file(QWidget*, const QString&, const QString&, bool, QString& chosen_name,
                     QString* typed_name) override {
        if (files.isEmpty())
            return false;
        const QString f = files.takeFirst();
        chosen_name = f.trimmed().toLower();
        if (typed_name)
            *typed_name = f;
        return true;
    }
    QString choose_folder(QWidget*, const QString&, const QString&) override {
        return folders.isEmpty() ? QString() : folders.takeFirst();
    }
    bool open_document(const QUrl& url) override {
        opened << url;
        return true;
    }
    bool choose_export_file(QWidget*, const QString& name, QString& path, CsvEncoding& encoding) override {
        export_proposals << name;
        if (export_files.isEmpty())
            return false;
        path = export_files.takeFirst();
        encoding = export_encoding;
        return true;
    }
    void print_preview(QWidget*, const PrintJob& job) override { printed.push_back(job); }

    // Lists to choose from: each text and its lines as shown; the next chosen indexes (cancel when empty).
    QStringList choice_texts;
    QVector<QStringList> choice_lists;
    QVector<int> choices;
    int choose_item(QWidget*, const QString&, const QString& text, const QStringList& items) override {
        choice_texts << text;
        choice_lists << items;
        return choices.isEmpty() ? -1 : choices.takeFirst();
    }
    // The customer import's options: the next answers for 電話番号をそろえる (off when empty).
    QVector<bool> format_phones;
    bool choose_import_options(QWidget*, const QString&, const QString&,
                               CustomerImportOptions& options) override {
        options.format_phones = !format_phones.isEmpty() && format_phones.takeFirst();
        return true;
    }

    // Progress windows: every label shown, in order; 中止 is chosen at the step numbered cancel_at.
    QStringList progress_labels;
    int cancel_at = -1;
    std::unique_ptr<ProgressView> progress(QWidget*, const QString&, int) override {
        struct Recorder : ProgressView {
            QueuedPrompter& owner;
            explicit Recorder(QueuedPrompter& p) : owner(p) {}
            bool step(int done, const QString& label) override {
                owner.progress_labels << label;
                return done != owner.cancel_at;
            }
        };
        return std::make_unique<Recorder>(*this);
    }

    QString last() const { return messages.isEmpty() ? QString() : messages.last(); }
    void clear() {
        messages.clear();
        questions.clear();
    }
};
