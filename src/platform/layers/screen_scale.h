// The backing scale factor of the main screen: how many device pixels one point covers there. Layers keep
// their contents scale equal to it so that what they draw stays sharp on high-density screens.
#pragma once

namespace kx {

// The primary screen's device pixel ratio; 1.0 without a GUI application or a screen.
double mainScreenBackingScaleFactor();

}  // namespace kx
