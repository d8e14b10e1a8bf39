// What a project holds, described to the usage-analytics client when the user exports, prints or shares:
// the number of pages and the size of the first, then page by page the kind of background, the number of
// photos, texts and calendars, and which masks, frames, colour effects, clip-art, rounded corners and text
// effects are used. Reading only: the project is not changed.
#pragma once

#include <QString>

#include <vector>

class GAObject;
class KXProject;

// One analytics event: category, action, label and value.
struct KXTrackedEvent {
    QString category;
    QString action;
    QString label;
    int value = 1;
    bool operator==(const KXTrackedEvent&) const = default;
};

// The events that describe the project, in the order they are queued.
std::vector<KXTrackedEvent> projectStatisticsEvents(const KXProject& project);

// Appends the project's events to the client's queue and posts the queue. Callers empty the queue and
// queue their own event first. The client sends nothing unless it has a tracking id and an address.
void trackProject(const KXProject& project, GAObject& client);
// The same on the shared client; nothing when there is none.
void trackProject(const KXProject& project);
