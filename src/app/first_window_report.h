// Start-up timing: a program started with KX_REPORT_FIRST_WINDOW set in its environment prints one line on
// standard output as soon as its first top-level window has been exposed on the screen and painted, then
// quits. The start-up benchmark starts the application and a bare Qt window this way and times that line.
#pragma once

class QApplication;

// The environment variable that asks for the report: "1" (or any value that names no widget class) for the
// first top-level window, or the class name of a window (such as "KXMainWindow") to wait for the first
// window of that class, past any progress window shown before it.
inline constexpr char kFirstWindowReportVariable[] = "KX_REPORT_FIRST_WINDOW";
// The line printed (followed by a newline) once the first window is on the screen.
inline constexpr char kFirstWindowReportLine[] = "first window shown";

// Installs the report on the application when the environment asks for it; returns whether it did.
bool installFirstWindowReportIfRequested(QApplication& application);
