#pragma once

#include <QString>
#include <QStringList>

#include "mail/send_mail.h"

class Prompter;
class QWidget;
class Session;

// Sends one mail to every name in order. A subject or body too long to be recorded is refused before
// anything is sent; otherwise asks first "N 件のメールを送信します。よろしいですか？", then shows one
// progress window (中止 between two mails). A failure of the server or account stops the run at once.
// Ends with one summary of the names mailed and not mailed, with the reasons. Returns the outcome.
BroadcastResult run_broadcast(QWidget* parent, Session& session, Prompter& prompter, const QStringList& names,
                              const QString& subject, const QString& body);
