#pragma once

#include <cstdio>

#include "ui/common/prompter.h"

// The benchmarks' prompter: messages go to the terminal, questions are answered No, dialogs cancelled.
class SilentPrompter : public Prompter {
public:
    void inform(const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    bool ask_yes_no(const QString&) override { return false; }
    bool choose_file(QWidget*, const QString&, const QString&, bool, QString&, QString*) override {
        return false;
    }
    bool open_document(const QUrl&) override { return false; }
};
