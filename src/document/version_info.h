// The two small records stored beside the pages in every project archive: which application and format
// version wrote the file, and the document properties (title, author and the like). The version record is
// made fresh at every save; the attribute record is created with a new project, read back from a package
// and written again unchanged.
#pragma once

#include "platform/foundation/coding.h"
#include "platform/foundation/value.h"

#include <QString>

#include <cstdint>
#include <map>
#include <memory>

class KXVersionInfo : public kx::Object, public kx::Coding {
public:
    QString className() const override { return QStringLiteral("KXVersionInfo"); }

    // A record describing the running application: its bundle name, company, short version and the
    // integer "Project version" of its Info.plist (0 when absent).
    static std::shared_ptr<KXVersionInfo> versionInfo();

    QString productName;
    QString company;
    QString version;
    std::int64_t projectVersion = 0;

    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    void initWithCoder(kx::KeyedUnarchiver& coder) override;
};

class KXDocumentAttribute : public kx::Object, public kx::Coding {
public:
    QString className() const override { return QStringLiteral("KXDocumentAttribute"); }

    // A record with the defaults of a new project: the application's name as author, "Morvane" as
    // company, everything else unset. (Decoding starts from a bare record instead.)
    static std::shared_ptr<KXDocumentAttribute> documentAttribute();

    QString title;
    QString subject;
    QString author;
    QString manager;
    QString company;
    QString category;
    QString keywords;
    QString annotations;

    // Keys of an archive that this version does not know (another version of the application may have
    // written more), carried unchanged to the next save.
    struct OtherField {
        kx::Value value;
        bool inPlace = false;  // stored in place, not as a reference
    };
    std::map<QString, OtherField> otherFields;

    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    void initWithCoder(kx::KeyedUnarchiver& coder) override;
};

// Registers the archive classes of project documents (and the page model's) with the shared registry.
void registerDocumentClasses();
