// Loading, during the pause before the document window, what that window loads on first use.
//
// The document window is made a tenth of a second after launch (the document schedules it so), and the
// event loop has nothing to do until then. Building the window and painting it the first time loads the
// image format plugins (the menu bar's icons and the workspace textures go through them), sets up the
// font system for the default font, decodes the workspace and page textures, and maps the memory of a dozen
// canvas-sized layer bitmaps (fresh memory costs a page fault per page and may wait for the system to find
// large pages). Done in the pause, that work is off the path between launch and the window on the screen;
// done later, it would be done then.
#pragma once

#include <functional>

class QApplication;

// Loads the image format plugins, the default font and the two workspace textures now, and has a worker of
// the global thread pool warm the memory of the first page paint.
void warmUpFirstWindowResources();

// Maps the memory of the layer bitmaps of a new document window's first paint, on a screen of the device
// pixel ratio given, and gives it back to the large-bitmap memory, which keeps it for them. Thread-safe.
void warmUpFirstPaintMemory(double scale = 1.0);

// Calls `work` from the event loop once it runs: at its first turn when no window is on its way to the
// screen, or right after the first window has been shown when one is (a window shown before the loop, such
// as the opening progress window, is not kept waiting by the work).
void scheduleLaunchWarmUp(QApplication& application, std::function<void()> work = warmUpFirstWindowResources);
