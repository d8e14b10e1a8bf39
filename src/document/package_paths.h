// Paths inside project packages and templates, checked before anything in them is read: a package is
// data from anywhere (a download, a copy from another machine), so a symbolic link inside it is never
// followed, whether it stands for a file or a folder.
#pragma once

#include <QString>

// Whether the path lies inside the folder and neither it nor any folder between the two is a symbolic
// link. The folder itself may be one (the user chose it).
bool isLinkFreeInside(const QString& folder, const QString& path);

// Whether an image path points into the "Data" folder of some project package: the file's folder is
// named "Data" and the folder above it holds an "info.xml".
bool isInPackageData(const QString& path);
