// Makes the archived classes of the page model known to the shared class registry, so that
// archives, copies and undo snapshots can read them. Call once at start-up (repeating is harmless).
#pragma once

void registerModelClasses();
