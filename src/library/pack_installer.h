// Installing a downloaded content pack into the packs folder, where the template chooser and the resource
// panel find it.
//
// A pack archive holds one top-level folder named like the pack, with its "Templates", "Clipart", "Frame"
// and "Mask" folders. The archive is unpacked into a hidden scratch folder inside the packs folder and only
// the pack's own folder is moved into place, by rename, once every entry was written: a failure at any
// point (wrong password, unreadable encryption, truncated or hostile archive) leaves the installed pack as
// it was and tells why. Top-level entries other than the pack's folder are not installed, so one pack can
// never replace another's folder. Scratch folders that a killed unpacking left behind are removed by a later
// install once they are an hour old.
#pragma once

#include "library/zip_archive.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

struct KXPackInstallResult {
    bool ok = false;
    QString errorText;
    QString installedFolder;
};

// Unpacks the archive at zipPath and installs its folder `folderName` as packsFolder/folderName (made with
// its parents when missing), replacing the pack installed there. The password is used for the encrypted
// entries.
KXPackInstallResult KXInstallPack(const QString& zipPath,
                                  const QString& packsFolder,
                                  const QString& folderName,
                                  const QByteArray& password,
                                  const KXZipLimits& limits = {});

// The pack's folder name from its download address: the last component of the URL's path without its
// extension, every "_" made a space. Empty when the name is refused: empty, ".", "..", holding "/", "\" or
// NUL (also when percent-encoded), or starting with a dot.
QString KXPackFolderNameForURL(const QUrl& url);
