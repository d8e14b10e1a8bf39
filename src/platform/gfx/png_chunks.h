// A check of a PNG stream's chunk structure before it reaches the decoder. The PNG decoder allocates a
// buffer of the length a chunk declares before it reads the chunk, so a few hundred bytes that declare a
// 2 GB text chunk would make it reserve and clear 2 GB. A stream whose chunks reach past its end is
// damaged: it is refused whole instead.
#pragma once

class QIODevice;

namespace kx {

// True when the device does not hold a PNG stream, or when every chunk up to IEND (or up to the end of the
// data) lies within the device's size. The device's position is put back where it was.
bool pngChunksFitInDevice(QIODevice& device);

}  // namespace kx
