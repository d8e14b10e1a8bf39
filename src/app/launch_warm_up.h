// Loading, during the pause before the document window, what that window loads on first use.
//
// The document window is made a tenth of a second after launch (the document schedules it so), and the
// event loop has nothing to do until then. Building the window and painting it the first time loads the
// image format plugins (the menu bar's icons and the workspace textures go through them), sets up the
// font system for the default font, and decodes the workspace and page textures. Done in the pause, that
// work is off the path between launch and the window on the screen; done later, it would be done then.
#pragma once

#include <functional>

class QApplication;

// Loads the image format plugins, the default font and the two workspace textures, now.
void warmUpFirstWindowResources();

// Calls `work` from the event loop once it runs: at its first turn when no window is on its way to the
// screen, or right after the first window has been shown when one is (a window shown before the loop, such
// as the opening progress window, is not kept waiting by the work).
void scheduleLaunchWarmUp(QApplication& application, std::function<void()> work = warmUpFirstWindowResources);
