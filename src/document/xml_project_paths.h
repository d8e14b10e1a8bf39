// Files of older project packages and templates in the XML format: finding the XML file inside a
// package and the photos beside it. Every path built from a name in a file stays inside the folder
// it belongs to.
#pragma once

#include <QString>

// The path, relative to the folder, of the first file below it whose extension, lower-cased, is
// "pwp", "vrtp", "vrtplite", "vrtp3" or "vrtplite3"; null when there is none. The entries of each
// folder are taken in name order, a sub-folder searched where it stands in that order, so the answer
// does not depend on the file system. Symbolic links are neither followed nor taken for the file, and a
// folder that is itself a link holds nothing.
QString xmlFilePathFromPath(const QString& folder);

// The folder that holds the photos of an older project whose package (or XML file) is at dataPath,
// by format version: up to 4 the sibling folder named after the package without its extension plus
// "-KX"; from 5 on "Contents/Resources" inside the package when the package is a folder with entries,
// otherwise null (the photos have no images).
QString xmlImageFolder(const QString& dataPath, int version);

// The photo file named in the XML file, inside the image folder. The name uses backslashes as
// separators; leading separators are dropped, so the name is always taken below the folder. Null when
// the folder or the name is empty, or when ".." in the name would lead out of the folder.
QString xmlImagePath(const QString& imageFolder, const QString& imageName);
