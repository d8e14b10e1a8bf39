// The document window's side of copy and paste: what goes onto the system clipboard, which of the paste
// roads the clipboard's content takes, and the files that pasted images are kept in.
//
// Copy puts our own type alone on the clipboard (see document/graph_pasteboard.h). Paste takes the first
// road that applies: our copied objects; local files of which at least one is a supported image; text;
// an image. Images from other programs are written as PNG files into a folder of this process's own, which
// is removed when the process ends; pasting the same clipboard content again reuses its file.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <cstdint>

class QMimeData;

enum class KXPasteRoad { None, Graphs, Files, Text, Image };

// The road paste takes for the clipboard content (null: none).
KXPasteRoad pasteRoadForMimeData(const QMimeData* data);
// Whether the Paste command is offered: our objects, files with a supported image among them, text, or an
// image in one of the platform's usual bitmap types (PNG, TIFF). An image offered only in another type is
// still pasted by the command but does not enable it.
bool canPasteMimeData(const QMimeData* data);
// The local files the clipboard names, in order.
QStringList localFilesOfMimeData(const QMimeData* data);
// Encoded images on the clipboard larger than this are not read.
inline constexpr qint64 kMaxPastedImageBytes = qint64(256) << 20;
// The image the clipboard holds (Qt's own image, else the first encoded image type that decodes); null when
// none.
QImage imageOfMimeData(const QMimeData* data);

// Puts our copied objects on the clipboard (nothing else is offered with them).
void writeGraphsToPasteboard(const QByteArray& datas);
// Our copied objects on the clipboard, or empty.
QByteArray graphsOnPasteboard();

// How often the system clipboard's content has changed since the process began to follow it (the first
// call starts following it).
std::uint64_t pasteboardChangeCount();

// The folder pasted images are written into: made on first use, private to this process and removed when
// it ends. Empty when it cannot be made.
QString pastedImagesFolder();

// The file of the last pasted image and the clipboard change count it was written at.
class KXPastedImageFile {
public:
    QString pasteImagePath() const { return m_path; }
    void setPasteImagePath(const QString& path) { m_path = path; }
    std::uint64_t pasteChangeCount() const { return m_changeCount; }

    // The file for the clipboard's image: the one written before when the clipboard has not changed since
    // (and the file is still there), else the image written as PNG under the next free name "1.png",
    // "1_001.png", ... in the pasted-images folder and registered with the image cache. Empty, with *error,
    // when it cannot be written.
    QString fileForImage(const QImage& image, std::uint64_t changeCount, QString* error = nullptr);

private:
    QString m_path;
    std::uint64_t m_changeCount = 0;
};
