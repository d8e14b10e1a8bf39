// The hand-off of a new message to the desktop's mail program through xdg-email: subject, body and the
// attachments, with no recipient, so that the user addresses the message in their own mail program.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// The arguments given to xdg-email, in order.
QStringList mailHandOffArguments(const QString& subject, const QString& body, const QStringList& attachments);

// The message's texts: the localised "MailSubject", and "MailContent" filled with the publisher's address and
// the application's name.
QString mailSubject();
QString mailContent();

// Starts xdg-email with the message; `failed` runs on the calling thread's event loop when the program is
// missing or reports a failure (no mail program is set up). Files that are not readable regular files are
// left out of the message.
void sendMailWithAttachmentFiles(const QStringList& files, QObject* context, std::function<void()> failed);
