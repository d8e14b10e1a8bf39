// Which files count as images, and which bitmap format an output path asks for. Kinds are decided by the
// file's uniform type identifier (from its extension), except JPNG, which is known by its extension
// alone. Nothing here opens or decodes a file.
#pragma once

#include <QString>
#include <QStringList>

// The bitmap formats an image can be written in, with their fixed numbers.
enum class BitmapFileType { TIFF = 0, BMP = 1, GIF = 2, JPEG = 3, PNG = 4 };

// Extension "jpng", any case; true even before the file exists.
bool isJPNGFile(const QString& path);
// The file's type identifier is com.adobe.pdf / com.adobe.encapsulated-postscript / public.svg-image /
// com.adobe.illustrator.ai-image; false for a missing path or a folder.
bool isPDFFile(const QString& path);
bool isEPSFile(const QString& path);
bool isSVGFile(const QString& path);
bool isAIFile(const QString& path);

// The type identifiers that the image reader can decode: every format of Qt's image plugins, plus PDF,
// whose first page the loader renders itself.
const QStringList& readableImageTypeIdentifiers();

// JPNG, PDF, EPS or SVG (whatever the reader lists, since the loader decodes or rasterises those itself),
// otherwise a file whose type conforms to a readable identifier; false for a missing path or a folder.
bool isSupportedImageFile(const QString& path);
// True when at least one of the paths is a supported image file.
bool containsSupportedImageFile(const QStringList& paths);
// The supported image files among the folder's entries (hidden ones skipped; all descendants when
// recursive), sorted by case-insensitive comparison of the full paths.
QStringList imageFilesInDirectory(const QString& folder, bool recursive);
// The supported image files whose extension, lower-cased, is in `extensions` (given in lower case),
// hidden entries skipped, in enumeration order.
QStringList imageFilesInDirectoryWithExtensions(const QString& folder, const QStringList& extensions,
                                                bool recursive);

// The format for an output path, by its extension compared exactly as written: "jpg" JPEG, "tiff" and
// "tif" TIFF, "bmp" BMP, "gif" GIF, "png" PNG; anything else ("jpeg", "PNG", no extension) JPEG.
BitmapFileType bitmapFileTypeForPath(const QString& path);
