// What the application does with a path given on its command line.
#pragma once

#include <QString>

struct KXLaunchRequest {
    QString projPath;      // a project package (or archive) to open
    QString templatePath;  // a template folder to start a new project from
};

// Sorts a command-line path: the "info.xml" inside a package stands for the package; a template package
// ("vrtpkg"), a user template (".tpl" folder) and a folder holding a ".tpl" file are templates; anything
// else is taken as a project. Relative paths are made absolute. An empty path asks for nothing.
KXLaunchRequest launchRequestForPath(const QString& path);
