// The photo album: every page written as a JPEG into "<Pictures>/<application name>/", the folder that stands
// in for a photo library's album named after the application.
#pragma once

#include <QString>
#include <QStringList>

// <Pictures>/<bundle name>, created; empty when there is no pictures folder or it cannot be made.
QString photoAlbumFolder();

// The files for the pages of a send under `name` (sanitised; "Untitled" when nothing is left): name.jpg for
// one page, name_1.jpg .. name_N.jpg for several. A photo already in the album is never replaced: a name
// that is taken gets the first free "_NNN" after it.
QStringList photoAlbumFiles(const QString& folder, const QString& name, int pageCount);
