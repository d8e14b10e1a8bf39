// Where the resource panel finds its clip-art, frames and masks, and the user's own folders of them.
//
// A kind ("Clipart", "Frame", "Mask") has categories: the subfolders of <resources>/<kind> that ship with
// the program, and the subfolders of <Boxes>/<pack>/<kind> that installed content packs add. A category's
// images are the supported image files directly inside its folder; frames are PNG and JPNG files only. A
// "Thumbnails" subfolder is never a category: it holds smaller JPEG pictures shown in place of the images.
#pragma once

#include <QString>
#include <QStringList>

inline const QString KXResourceClipart = QStringLiteral("Clipart");
inline const QString KXResourceFrame = QStringLiteral("Frame");
inline const QString KXResourceMask = QStringLiteral("Mask");
// The pseudo-category that lists every image of a kind (not offered for clip-art).
inline const QString KXResourceAllCategory = QStringLiteral("All");

// "All" first (except for clip-art), then the built-in categories, then those of each pack, in folder
// order. A name found in two places is listed twice.
QStringList categoriesOfResource(const QString& kind);
// The images of one category: the built-in folder's, then those of the pack named like the category.
// "All" gives allResourcePaths(kind).
QStringList resourcePathsInCategory(const QString& kind, const QString& category);
// The images of every category of the kind, built-in ones first.
QStringList allResourcePaths(const QString& kind);
// The images directly inside one category folder, by the rules of the kind.
QStringList imagesOfCategoryFolder(const QString& kind, const QString& folder);

// <folder of path>/Thumbnails/<name without extension>.jpg when that file exists, else an empty string.
QString thumbnailPathForResource(const QString& path);

// The user's own folder of a kind: <data>/<bundle name>/Custom Resources/<kind>, created when missing;
// empty when there is no data folder or it cannot be created.
QString customResourcePath(const QString& kind);
// The supported images directly inside the user's folder, sorted without regard to case.
QStringList customResourcePaths(const QString& folder);

// Copies each file into the folder under its own name, or under the first free <name>_NNN.<extension>;
// never replaces an existing entry. Returns the paths written; failures are skipped.
QStringList importResourceFiles(const QStringList& files, const QString& folder);
// Deletes each path that is a regular file lying inside the folder once both are resolved (no symbolic
// link is followed out of it, and a link itself is not deleted). Returns the paths deleted.
QStringList removeResourceFiles(const QStringList& paths, const QString& folder);
