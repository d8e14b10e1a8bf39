// File names and folders of the sharing roads (e-mail attachments, the wallpaper, the photo album).
#pragma once

#include <QString>

// A name typed by the user or taken from a page or project title, made safe as one file name: "/" and NUL
// removed, white space and dots at the start and white space at the end dropped (so that it is neither hidden nor "." or
// ".."); `fallback` when nothing is left.
QString sanitizedFileName(const QString& name, const QString& fallback);

// <data folder>/<bundle name>/<subfolder> (the subfolder may hold a "/"), created with its parents; empty
// when there is no data folder, no usable bundle name, or the folder cannot be made.
QString applicationDataSubfolder(const QString& subfolder);
