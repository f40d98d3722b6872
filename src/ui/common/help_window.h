#pragma once

#include <QPointer>
#include <QWidget>

class QLineEdit;
class QTextBrowser;
class Prompter;

// "ヘルプ": help/index.html of the program folder in a window of the program, with its links and
// anchors, back and forward, and a search box.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(Prompter& prompter, QWidget* parent = nullptr);

    // Shows the page at the anchor (the top when empty).
    void show_page(const QString& path, const QString& anchor);
    // Finds the next place holding the search box's text, from the top again after the last one.
    bool find_next();
    QTextBrowser* browser() const { return m_browser; }

private:
    void link_clicked(const QUrl& url);

    Prompter& m_prompter;
    QTextBrowser* m_browser;
    QLineEdit* m_find;
};

// Opens the help: from the menu, and with F1 in any window at that window's section.
class HelpDesk : public QObject {
    Q_OBJECT
public:
    HelpDesk(const QString& program_folder, Prompter& prompter, QWidget* main_window);
    ~HelpDesk() override;

    // Shows the help at the anchor; tells the user when the page is missing.
    void open(const QString& anchor = QString());
    // The section of the help that describes the window with this object name; empty for the top.
    static QString anchor_for(const QString& window_name);
    HelpWindow* window() const { return m_window; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString m_folder;
    Prompter& m_prompter;
    QPointer<QWidget> m_main;
    QPointer<HelpWindow> m_window;
};
