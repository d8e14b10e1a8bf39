// Whether an address is an http or https address with a host: the only addresses the program fetches or
// hands to the browser.
#pragma once

#include <QUrl>

namespace kx {

bool isWebAddress(const QUrl& url);

}  // namespace kx
