// The choices of the image save panel turned into what an export writes: which pages, whether the target is
// one file or a folder of numbered files, the file names inside that folder, and the JPEG quality. Kept apart
// from the widgets so that the rules can be checked as tables.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// The page choice of the save panel, by its item index.
enum KXExportPageChoice : int {
    KXExportAllPages = 0,
    KXExportOnePage = 1,
    KXExportPageRange = 2,
};

// The type identifier the save panel uses when the export writes a folder of numbered files.
inline const QString KXFolderFileType = QStringLiteral("public.folder");

// Page numbers (1-based) of a range, as the panel shows them after a change.
struct KXPageNumbers {
    int first = 1;
    int last = 1;
};

// A range whose last number lies below the first pulls the first down to the last.
KXPageNumbers correctedPageRange(KXPageNumbers numbers);
// A typed page number kept inside 1 .. pageCount (a project always has at least one page).
int clampedPageNumber(int typed, int pageCount);

// Whether an export of the choice writes more than one file, and so asks for a folder.
bool exportWritesFolder(KXExportPageChoice choice, int pageCount, KXPageNumbers numbers);
// What the panel allows: ["public.folder"] for a folder, else [format].
QStringList allowedFileTypes(KXExportPageChoice choice, int pageCount, KXPageNumbers numbers, const QString& format);

// The 0-based indexes of the pages the choice exports, in project order; none for a reversed range.
std::vector<int> exportPageIndexes(KXExportPageChoice choice, int pageCount, KXPageNumbers numbers);

// The JPEG quality while it is typed (1 .. 100) and once editing ends (10 .. 100).
int clampedQuality(int typed);
int qualityAfterEditing(int value);

// The name the save panel proposes: the project file's name without its extension, else "Untitled".
QString defaultExportName(const QString& projectPath, const QString& untitled);
// The file of page `index` (0-based) inside the folder of a multi-file export: folder/<folder name>_<index+1>.<ext>.
QString numberedExportPath(const QString& folder, int index, const QString& extension);
