#pragma once

#include <QDialog>

class Prompter;

// versionfrm: product name, version, edition and the addresses.
class VersionDialog : public QDialog {
    Q_OBJECT
public:
    VersionDialog(Prompter& prompter, QWidget* parent = nullptr);
    static QString home_page() { return QStringLiteral("https://eigyo-techo.example.com/"); }
    static QString contact() { return QStringLiteral("support@eigyo-techo.example.com"); }
};
