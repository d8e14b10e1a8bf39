#include "output/mail_handoff.h"

#include "graphics/app_info.h"
#include "output/export_dialogs.h"
#include "output/share_program.h"

#include <QFileInfo>

QStringList mailHandOffArguments(const QString& subject, const QString& body, const QStringList& attachments) {
    QStringList arguments{QStringLiteral("--utf8"), QStringLiteral("--subject"), subject, QStringLiteral("--body"), body};
    for (const QString& file : attachments) {
        arguments << QStringLiteral("--attach") << file;
    }
    return arguments;
}

QString mailSubject() {
    return exportText("MailSubject");
}

QString mailContent() {
    return exportText("MailContent").arg(publisherURL(), bundleName());
}

void sendMailWithAttachmentFiles(const QStringList& files, QObject* context, std::function<void()> failed) {
    QStringList attachments;
    for (const QString& file : files) {
        const QFileInfo info(file);
        if (info.isFile() && info.isReadable())
            attachments.append(info.absoluteFilePath());
    }
    startDesktopProgram(QStringLiteral("xdg-email"), mailHandOffArguments(mailSubject(), mailContent(), attachments),
                        context, [failed](int exitCode) {
                            if (exitCode != 0 && failed)
                                failed();
                        });
}
