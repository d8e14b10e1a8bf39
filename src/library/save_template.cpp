#include "library/save_template.h"

#include "document/project.h"
#include "library/template_name_sheets.h"

bool writeProjectAsTemplate(const KXSaveTemplateController& sheet, KXProject& project, QString* error) {
    if (!sheet.isOK())
        return false;
    const QString path = sheet.templatePath();
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("There is no folder for your own templates.");
        return false;
    }
    // The sheet has already asked before replacing; the package writer swaps the new folder in safely.
    return project.saveAsTemplateToPath(path, error);
}

bool saveProjectAsTemplate(QWidget* window, KXProject& project, QString* error) {
    KXSaveTemplateController sheet(window);
    sheet.setWindowModality(Qt::WindowModal);
    sheet.exec();
    return writeProjectAsTemplate(sheet, project, error);
}
