// Permissions of a package across a save: the new package takes the modes of the old one, and a package the
// person made read-only is not replaced.
#pragma once

#include <QString>

namespace kx {

// Whether the package (or whatever is at its path) may not be replaced: the entry itself or its "info.xml"
// has no write permission for anyone, or this process may not write it. False when nothing is there.
bool isReadOnlyPackage(const QString& package);

// Gives every entry of the new package the mode of the old package's entry at the same place; a file the old
// package did not have takes the mode of the old "info.xml", and a folder the mode of the old package folder.
// Symbolic links are left alone, and a filesystem that keeps no modes is no failure. Nothing changes when
// there is no old package folder.
bool keepPackageModes(const QString& oldPackage, const QString& newPackage, QString* error);

}  // namespace kx
