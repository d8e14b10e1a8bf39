// Saving a project as one of the user's own templates: the save sheet names it, the project writes the folder
// <own templates>/<name>.tpl, and the chooser lists it at once (the project announces the saved template).
#pragma once

#include <QString>

class KXProject;
class KXSaveTemplateController;
class QWidget;

// Writes the project under the name the sheet accepted. False when the sheet was cancelled (no error) or the
// template could not be written (*error, the template folder left as it was).
bool writeProjectAsTemplate(const KXSaveTemplateController& sheet, KXProject& project, QString* error = nullptr);
// Runs the save sheet modally on the window, then writes the template.
bool saveProjectAsTemplate(QWidget* window, KXProject& project, QString* error = nullptr);
