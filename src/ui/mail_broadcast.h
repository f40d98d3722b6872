#pragma once

#include <QString>
#include <QStringList>

class Prompter;
class QWidget;
class Session;

// Sends one mail to every name in order, with a progress dialog ("broadcast_progress") that shows the
// current name and count and can be cancelled between two mails. A failed send is reported with
// "mail error 001:" and the broadcast goes on. Ends with the summary "送信したお客様　" and the names
// mailed. Returns those names.
QStringList run_broadcast(QWidget* parent, Session& session, Prompter& prompter, const QStringList& names,
                          const QString& subject, const QString& body);
