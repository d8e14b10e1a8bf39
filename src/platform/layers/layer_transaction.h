// A batch of layer changes. Layers never animate, so a transaction has one effect: while one is open
// (transactions nest), the repaint areas that layer changes report to their hosts are gathered, and each host
// hears once, with the union of its areas, when the outermost transaction ends. Outside a transaction every
// change is reported at once.
//
//     {
//         kx::LayerTransaction transaction;
//         layer->setFrame(r);
//         layer->setOpacity(0.5);
//     }   // the host hears about both changes here
//
// Transactions belong to the thread that opens them; layers are used on the main thread only.
#pragma once

#include "platform/foundation/geometry.h"

namespace kx {

class LayerHost;

class LayerTransaction {
public:
    LayerTransaction();
    ~LayerTransaction();
    LayerTransaction(const LayerTransaction&) = delete;
    LayerTransaction& operator=(const LayerTransaction&) = delete;

    // Whether a transaction is open on this thread.
    static bool isOpen();

    // Reports `rect` to `host` now, or at the end of the outermost open transaction.
    static void reportRepaint(LayerHost* host, const Rect& rect);
    // Forgets what is gathered for a host that goes away before the transaction ends.
    static void forgetHost(LayerHost* host);
};

}  // namespace kx
