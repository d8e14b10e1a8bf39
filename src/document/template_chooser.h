// The template chooser as the document window sees it: a window in which the user picks a template (and a
// page of it) or an existing project file. The window controller of a document makes one chooser on first
// use, becomes its delegate and shows it in a window of its own or as a sheet on the document window; the
// chooser closes itself and then reports what was chosen to its delegate. It never touches a document.
//
// The chooser window is built with the content library; the application installs the factory that makes
// it. Without a factory there is no chooser, and the document window stands in for it.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class KXTemplateChooser;
class QWidget;

// What the chooser reports, always after its window has closed.
class KXTemplateWindowControllerDelegate {
public:
    virtual ~KXTemplateWindowControllerDelegate() = default;
    // Open the project file at the path.
    virtual void templateWindowControllerOpenPorject(KXTemplateChooser* chooser, const QString& path) = 0;
    // Use the template folder, showing its page at the zero-based index.
    virtual void templateWindowControllerOpenTemplate(KXTemplateChooser* chooser, const QString& folder,
                                                      std::int64_t pageIndex) = 0;
    // Nothing was chosen.
    virtual void templateWindowControllerDidCancel(KXTemplateChooser* chooser) = 0;
};

class KXTemplateChooser {
public:
    virtual ~KXTemplateChooser() = default;

    // Not owned; the delegate clears itself before it goes.
    virtual void setDelegate(KXTemplateWindowControllerDelegate* delegate) = 0;
    // Whether the chooser offers to open an existing project file as well.
    virtual void setCanOpenProject(bool canOpenProject) = 0;
    // Shows the chooser as a window of its own.
    virtual void showWindow() = 0;
    // Shows the chooser as a sheet on the window.
    virtual void beginSheet(QWidget* window) = 0;

    // Makes a new chooser through the installed factory; null when none is installed. Every call makes a new
    // one: a document window keeps the chooser it made.
    static std::unique_ptr<KXTemplateChooser> templateWC();
    using Factory = std::function<std::unique_ptr<KXTemplateChooser>()>;
    // An empty factory removes it.
    static void setFactory(Factory factory);
};
