// Where templates live and how a template folder is found from one of its files.
//
// Built-in templates: <resources>/Templates/<category>/<template>. Content packs: <XDG cache>/<bundle
// identifier>/Boxes/<pack>. The user's own: <XDG data>/<bundle name>/My Templates/<name>.tpl. Every path is
// built when asked for, never cached, and never relative to the working directory.
#pragma once

#include <QString>
#include <QStringList>

namespace kx::templates {

// <resources>/Templates.
QString builtInTemplatesFolder();
// <XDG cache>/<bundle identifier>/Boxes, whether it exists or not; empty when there is no cache folder.
QString boxesFolderPath();
// <XDG data>/<bundle name>/My Templates, not created; empty when there is no data folder.
QString userTemplateFolderPath();
// The same, created with its parents when missing. Empty when there is no data folder or it cannot be made.
QString userTemplateFolder();

// The files a template shows: every PDF below the folder (any case, hidden files skipped), or when there is
// none every JPG below it.
QStringList templateFileList(const QString& folder);
// The template folder a file belongs to: two levels up for a PDF or a "Thumbnail.jpg" (they lie in the
// template's "QuickLook" folder), otherwise the folder holding the file.
QString templateFolderOfFile(const QString& file);
// Whether a path lies in the user's own templates.
bool isCustomTemplatePath(const QString& path);

// The Info.plist categories of the built-in templates, in order.
QStringList templateCategories();

}  // namespace kx::templates
