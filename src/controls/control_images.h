// The images the controls draw, read from the application's resources by name ("SeqLeft" is
// resources/SeqLeft.png) and kept once read. A missing image is a null pixmap: the control then draws
// without it, and the image is looked for again at the next call.
#pragma once

#include <QPixmap>
#include <QString>

namespace kx::controls {

QPixmap controlImage(const QString& name);

}  // namespace kx::controls
