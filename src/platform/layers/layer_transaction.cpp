#include "platform/layers/layer_transaction.h"

#include "platform/layers/layer_host.h"

#include <utility>
#include <vector>

namespace kx {

namespace {

struct PendingRepaint {
    LayerHost* host;
    Rect rect;
};

thread_local int openTransactions = 0;
thread_local std::vector<PendingRepaint> pendingRepaints;
// The batch being delivered at the end of a transaction, reachable so that a host destroyed by another
// host's callback is not called afterwards.
thread_local std::vector<PendingRepaint> deliveringRepaints;

}  // namespace

LayerHost::~LayerHost() {
    LayerTransaction::forgetHost(this);
}

LayerTransaction::LayerTransaction() {
    ++openTransactions;
}

LayerTransaction::~LayerTransaction() {
    if (--openTransactions > 0)
        return;
    // A host may change layers while it is told (and so report again): deliver until nothing is left.
    if (!deliveringRepaints.empty())
        return;  // a host's callback closed a transaction of its own: the delivery under way takes its reports
    while (!pendingRepaints.empty()) {
        deliveringRepaints.swap(pendingRepaints);
        for (std::size_t i = 0; i < deliveringRepaints.size(); ++i) {
            PendingRepaint pending = deliveringRepaints[i];
            if (pending.host)
                pending.host->layerNeedsRepaint(pending.rect);
        }
        deliveringRepaints.clear();
    }
}

bool LayerTransaction::isOpen() {
    return openTransactions > 0;
}

void LayerTransaction::reportRepaint(LayerHost* host, const Rect& rect) {
    if (!host || rect.isEmpty())
        return;
    if (openTransactions == 0) {
        host->layerNeedsRepaint(rect);
        return;
    }
    for (PendingRepaint& pending : pendingRepaints) {
        if (pending.host == host) {
            pending.rect = pending.rect.united(rect);
            return;
        }
    }
    pendingRepaints.push_back({host, rect});
}

void LayerTransaction::forgetHost(LayerHost* host) {
    std::erase_if(pendingRepaints, [host](const PendingRepaint& pending) { return pending.host == host; });
    for (PendingRepaint& pending : deliveringRepaints) {
        if (pending.host == host)
            pending.host = nullptr;
    }
}

}  // namespace kx
