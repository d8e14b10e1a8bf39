// A page written as a layered PSD file: the page background as the bottom layer, then one layer per
// top-level graph from the back, each the size of the page fitted into the output size.
#pragma once

#include "output/psd_writer.h"
#include "platform/foundation/geometry.h"

#include <QString>

class KXCanvas;

// Renders the page fitted into `size` as layers and writes the file at the path atomically. The page being
// shown is never changed (the layers are rendered on an output copy; an output copy given here is put back
// into its preview state). False, with *error filled, when the size cannot be rendered, a layer cannot be
// made, the writer refuses or the file cannot be written; an old file at the path is then left untouched.
// The file records `dotsPerInch` as its resolution.
bool savePSDImageToPath(const KXCanvas& page, const QString& path, const kx::Size& size, PSDError* error = nullptr,
                        int dotsPerInch = 72);
// The same, giving the file's bytes instead of writing them; an empty buffer on failure.
QByteArray psdDataOfCanvas(const KXCanvas& page, const kx::Size& size, PSDError* error = nullptr, int dotsPerInch = 72);
