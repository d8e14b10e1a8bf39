// GIF files written with giflib: the picture reduced to an adaptive palette of at most 256 colours.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// The image as the bytes of a GIF file (its alpha ignored: pages are opaque). An empty array when it cannot
// be written (*error says why): a null image, or one wider or taller than a GIF can hold.
QByteArray encodeGif(const QImage& image, QString* error = nullptr);
