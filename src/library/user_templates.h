// The user's own templates on disk: the names they may get, and renaming and deleting their folders inside
// the user-template folder. Renames go through the replaceable package file calls, so tests can fail any step.
#pragma once

#include <QString>

namespace kx::templates {

// The folder name a typed template name becomes: every "/" removed.
QString sanitizedTemplateName(const QString& typed);
// Whether a sanitised name may name a folder of the user-template folder: not empty, not "." or "..", not
// starting with a dot (a hidden folder would never be listed).
bool isAcceptableTemplateName(const QString& sanitized);
// <user-template folder>/<name>.tpl for an acceptable name; empty otherwise or without a user-template folder.
QString userTemplatePathForName(const QString& sanitized);

// The folder directly inside the user-template folder that holds the file (walking up from the file); empty
// when the file does not lie inside it.
QString userTemplateFolderOfFile(const QString& file);
// Whether the path names a folder directly inside the real user-template folder (links resolved).
bool isInsideUserTemplateFolder(const QString& folder);

// Renames a user template folder. When the destination exists it is replaced without ever losing a template:
// it is moved aside, the template is moved in, and only then is the old one removed. A failed step puts
// everything back as it was and answers false with the reason.
bool moveTemplateFolder(const QString& from, const QString& to, QString* error);
// Removes a template folder, only when it lies directly inside the user-template folder. False otherwise, or
// when it could not be removed.
bool removeUserTemplateFolder(const QString& folder);

}  // namespace kx::templates
