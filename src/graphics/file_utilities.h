// File-system helpers shared by the package writer and reader, the resource browser, the content-pack
// store and the exporters: existence tests, folder listings, lookups by name, collision-free file names,
// the uniform type identifier of a file and the application's fixed folders.
//
// Paths are POSIX path strings. A null QString stands for "no path": functions given one answer
// false, null or an empty list, and functions that find nothing return a null QString.
// Listings come in the file system's own enumeration order (nothing is sorted) and never descend
// into a symbolic link to a folder, so a link cannot lead a walk out of its tree or round in a loop.
#pragma once

#include <QString>
#include <QStringList>

// Path pieces, read as the rest of the program reads them: the last component ignores trailing
// slashes; the extension is what follows the last "." of the last component, and a name that only
// starts with a dot (".hidden") has none.
QString lastPathComponent(const QString& path);
QString pathExtension(const QString& path);
QString deletingPathExtension(const QString& path);

// A name that stays one path component inside the folder it is joined to: not empty, not "." or "..", no
// "/" and no NUL.
bool isSafePathComponent(const QString& component);
// A name taken from outside (an address, a catalogue) that may name one file or folder of ours: a safe
// path component that is no hidden file (no leading dot) and holds no "\" either.
bool isPlainFileName(const QString& name);

// --- Tests ---

// True when something exists at the path (a symbolic link counts when its target exists).
bool fileExists(const QString& path);
// True when the path exists and is a folder (or a link to one).
bool isDirectory(const QString& path);
// True when nothing exists at the path, when it is not a folder, or when the folder has no entries at
// all (hidden ones count). A folder that cannot be read is not known to be empty and answers false.
bool isEmptyFolder(const QString& path);
// The uniform type identifier of a file from its extension ("dyn.<ext>" for an extension no type
// claims); null for a missing path, a folder, or a file without an extension.
QString typeIdentifierOfFile(const QString& path);

// --- Listings (full paths, never null) ---

// Entries (files and folders) whose extension, lower-cased, equals `extension` lower-cased, or every
// entry for "*"; hidden entries skipped; the folder's own entries, or all descendants when recursive.
QStringList filesInFolder(const QString& folder, const QString& extension, bool recursive);
// Entries that are folders (or links to folders); hidden entries skipped.
QStringList subfoldersInFolder(const QString& folder, bool recursive);
// Every descendant, hidden ones included, that is not a folder and is a supported image file.
QStringList imageFilesInFolder(const QString& folder);

// --- Lookups ---

// The first of base + "." + extension, in the list's order, that exists; null when none does.
QString firstExistingPathWithExtensions(const QString& basePath, const QStringList& extensions);
// The first entry whose name equals `fileName` ignoring case; hidden entries skipped; null when none.
QString findFileInFolder(const QString& fileName, const QString& folder, bool recursive);
// Searches the installed content packs: for each pack folder directly inside the Boxes folder, the
// supported image files at any depth below pack/category/subcategory (an empty subcategory means none),
// and answers the first whose name without extension equals `name` exactly. Category names that could
// leave their folder (empty category, "/", ".", "..", NUL) find nothing. The Boxes folder is not created.
QString findBoxResourceInSubfolder(const QString& category, const QString& subcategory, const QString& name);
// folder/name.extension when no directory entry has that name (a dangling symbolic link counts as an
// entry, so the caller never writes through one); otherwise the first free folder/name_NNN.extension,
// counting from 001 with at least three digits.
QString uniqueFilePath(const QString& folder, const QString& name, const QString& extension);

// --- Fixed folders ---
// Application Support is the XDG data folder and Caches the XDG cache folder (QStandardPaths).

// <data>/<bundle name>/Custom Resources/Clipart, created when missing; the path is returned even when
// creation fails; null when there is no data folder or no usable bundle name.
QString customClipartFolder();
// <data>/<bundle name>/Custom Resources/Mask, as above.
QString customMaskFolder();
// <cache>/<bundle identifier>/Data: the content-store catalogue and logos; null when it cannot be created.
QString dataFolder();
// <cache>/<bundle identifier>/Boxes: the unpacked content packs; null when it cannot be created.
QString boxesFolder();
// The application's private temporary folder, <cache>/<bundle identifier>/Temporary, readable by its
// owner alone (mode 0700). Null when it cannot be created, or when what is there is not a folder of
// ours (a symbolic link, another user's folder).
QString temporaryFolder();
