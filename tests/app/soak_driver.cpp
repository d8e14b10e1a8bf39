#include "soak_driver.h"

#include "app/main_window.h"
#include "app/page_commands.h"
#include "app_test_support.h"
#include "canvas/canvas_layer.h"
#include "document/document.h"
#include "document/project.h"
#include "inspectors/text_view_controller.h"
#include "model/background.h"
#include "model/canvas.h"
#include "model/graph.h"
#include "model/model_classes.h"
#include "model/page_size.h"
#include "model/shape.h"
#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/undo_manager.h"
#include "platform/foundation/user_defaults.h"
#include "support/event_wait.h"
#include "text/advanced_text.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPlainTextEdit>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <string>

#include <unistd.h>

namespace kxsoak {

long residentKb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    if (!(statm >> size >> resident))
        return 0;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long peakResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

namespace {

// Stop adding objects to a page that holds this many, and pages to a project that has this many, so that
// the project stays of one size over any number of cycles.
constexpr std::int64_t kMaxGraphsPerPage = 10;
constexpr std::int64_t kMaxPages = 4;

kx::DocumentController& documents() {
    return kx::DocumentController::shared();
}

KXMainWindow* windowOf(const KXDocument& document) {
    auto* controller = dynamic_cast<KXDocumentWindowController*>(document.mainWC().get());
    return controller ? controller->window() : nullptr;
}

// The page's archive: what it saves, byte for byte.
QByteArray pageArchive(KXCanvas& page) {
    auto shared = std::dynamic_pointer_cast<KXCanvas>(page.shared_from_this());
    return kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(shared));
}

QString describe(const QByteArray& before, const QByteArray& after) {
    return QStringLiteral("archive of %1 bytes became %2 bytes").arg(before.size()).arg(after.size());
}

// A project package of two 800 x 600 pages.
bool writeStartProject(const QString& path, QString* error) {
    KXProject project;
    project.removeAllCanvasLayers();
    for (int i = 0; i < 2; ++i) {
        auto canvas = std::make_shared<KXCanvas>();
        const KXSize size(800, 600, KXSizeUnitPixel, 72);
        canvas->setPageSize(&size);
        canvas->setMarginRect({0, 0, 800, 600});
        canvas->background()->setColor1(kx::Color::srgb(0.9, 0.9 - 0.2 * i, 0.8, 1));
        project.createNewLayerWithCanvas(canvas);
    }
    return project.saveAsProjectToPath(path, KXSaveOperationSave, error);
}

// The state of one page's undo history as the run knows it: the page archive after each step (unknown for
// the steps of a command that made several), and which of them the page is at now.
struct History {
    std::vector<std::optional<QByteArray>> states;
    std::size_t position = 0;
};

class Soak {
public:
    explicit Soak(const Options& options) : m_options(options), m_random(options.seed) {}

    Result run();

private:
    bool setUp();
    void tearDown();
    bool openProject();
    bool closeProject();
    bool fail(const QString& what);
    bool check(bool condition, const QString& what) { return condition || fail(what); }
    // Fails, keeping the expected and the found archive in the run's folder.
    bool differs(const QString& what, const QByteArray& expected, const QByteArray& found);

    KXCanvas* page() const { return m_window ? m_window->project()->currentCanvas() : nullptr; }
    int randomInt(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
    double randomReal(double low, double high) { return std::uniform_real_distribution<double>(low, high)(m_random); }
    template <class T>
    T pick(const std::vector<T>& items) {
        return items[std::size_t(randomInt(0, int(items.size()) - 1))];
    }
    std::vector<std::shared_ptr<KXGraph>> unlockedGraphs() const;
    std::vector<std::shared_ptr<KXGraph>> graphsWhere(const std::function<bool(const KXGraph&)>& test) const;

    // Lets the event loop close the open automatic undo groups and run queued work.
    void settle();
    // One command picked at random; false when a check failed.
    bool command();
    // Records what an edit of `page` did to its history; `edit` says whether the command was meant to
    // change the page at all.
    bool recordEdit(KXCanvas& page, const QByteArray& before, const QString& name);
    bool undoSteps(int count, bool undo);
    // Undoes every step of every page back to where its history starts and redoes them all again.
    bool replayAll();
    bool saveAndCompareAfterReopen(CycleReport& report);
    std::map<QString, QByteArray> allArchives() const;
    bool previewKeepsProportions();

    Options m_options;
    std::mt19937 m_random;
    Result m_result;
    QString m_package;
    QString m_template;
    std::vector<QString> m_photos;
    std::shared_ptr<KXDocument> m_document;
    KXMainWindow* m_window = nullptr;
    std::unique_ptr<KXTextViewController> m_textInspector;
    std::map<const KXCanvas*, History> m_histories;
    std::map<const void*, int> m_newSteps;
    kx::NotificationToken m_stepObserver;
    QString m_where;
    int m_cycleSteps = 0;
    // KX_SOAK_TRACE prints every command as it runs.
    const bool m_trace = qEnvironmentVariableIsSet("KX_SOAK_TRACE");
};

bool Soak::fail(const QString& what) {
    if (m_result.failure.isEmpty())
        m_result.failure = m_where + QStringLiteral(": ") + what;
    return false;
}

bool Soak::differs(const QString& what, const QByteArray& expected, const QByteArray& found) {
    // Both archives stay in the run's folder, to be compared.
    const QString stem = QDir(m_options.folder).filePath(QStringLiteral("differs"));
    for (const auto& [suffix, data] : {std::pair{QStringLiteral("-expected.plist"), expected},
                                       std::pair{QStringLiteral("-found.plist"), found}}) {
        QFile file(stem + suffix);
        if (file.open(QIODevice::WriteOnly))
            file.write(data);
    }
    return fail(what + QStringLiteral(": ") + describe(expected, found) + QStringLiteral(" (both kept as %1-*)").arg(stem));
}

bool Soak::setUp() {
    registerModelClasses();
    registerDocumentClasses();
    const QDir folder(m_options.folder);
    kx::UserDefaults::setStandardFilePath(folder.filePath(QStringLiteral("settings.conf")));
    KXDocument::registerDefaults();
    KXProject::setPageRenderer(kxtest::greyPageRendering);
    KXMainWindow::setAlertPresenter([this](QWidget*, const QString& message, const QString& informative) {
        fail(QStringLiteral("alert \"%1\" (%2)").arg(message, informative));
    });
    KXPageCommands::setConfirmPresenter([](QWidget*, const QString&, const QString&, const QString&, const QString&) {
        return KXPageCommands::kAlertFirstButtonReturn;
    });
    KXDocumentWindowController::installFactory(nullptr);
    kx::DocumentController& controller = documents();
    controller.setDocumentFactory([] { return std::make_shared<KXDocument>(); });
    controller.setAutosaveFolder(folder.filePath(QStringLiteral("Autosave")));
    controller.setAutosavingDelay(0);
    controller.setErrorPresenter([this](const QString& message, const QString& informative) {
        fail(QStringLiteral("error \"%1\" (%2)").arg(message, informative));
    });
    controller.setSavePanel([this](kx::Document&) {
        fail(QStringLiteral("a save panel was asked for"));
        return QString();
    });
    controller.setCloseQuestion([this](kx::Document&) { return fail(QStringLiteral("a close question was asked")); });
    controller.setSaveChangesQuestion([this](kx::Document&) {
        fail(QStringLiteral("the person was asked to save changes"));
        return kx::DocumentController::SaveChangesAnswer::Cancel;
    });
    // A new undo step is an outermost group that closed with something in it, outside undo and redo.
    m_stepObserver = kx::NotificationCenter::defaultCenter().addObserver(
        kx::UndoManagerDidCloseUndoGroupNotification, nullptr, [this](const kx::Notification& notification) {
            const auto* manager = notification.senderAs<const kx::UndoManager>();
            if (manager && manager->groupingLevel() == 0 && manager->lastClosedGroupWasKept() &&
                !manager->isUndoing() && !manager->isRedoing())
                ++m_newSteps[manager];
        });

    // The photos the run inserts, the template it adds pages from and the project it starts with.
    for (int i = 0; i < 3; ++i) {
        QImage photo(96 + 32 * i, 64, QImage::Format_RGB32);
        photo.fill(QColor::fromHsv(110 * i, 200, 220));
        const QString path = folder.filePath(QStringLiteral("photo%1.png").arg(i));
        if (!photo.save(path))
            return fail(QStringLiteral("cannot write %1").arg(path));
        m_photos.push_back(path);
    }
    QString error;
    m_template = folder.filePath(QStringLiteral("Templates/Two.tpl"));
    QDir().mkpath(folder.filePath(QStringLiteral("Templates")));
    if (!writeStartProject(m_template, &error))
        return fail(QStringLiteral("cannot write the template: ") + error);
    m_package = folder.filePath(QStringLiteral("Soak.vrtp3"));
    if (!writeStartProject(m_package, &error))
        return fail(QStringLiteral("cannot write the project: ") + error);
    m_textInspector = std::make_unique<KXTextViewController>();
    return true;
}

void Soak::tearDown() {
    m_textInspector.reset();
    if (m_document)
        m_document->close();
    m_document.reset();
    m_window = nullptr;
    m_stepObserver = {};
    KXPageCommands::setConfirmPresenter({});
    kxtest::closeDocumentsAndRestoreDefaults();
}

bool Soak::openProject() {
    QString error;
    m_document = std::dynamic_pointer_cast<KXDocument>(documents().openDocumentWithContentsOfURL(m_package, &error));
    if (!m_document)
        return fail(QStringLiteral("cannot open the project: ") + error);
    if (!kxtest::processEventsUntil([&] { return !m_document->windowControllers().empty(); }))
        return fail(QStringLiteral("the project's window never came"));
    m_window = windowOf(*m_document);
    if (!m_window || !m_window->project())
        return fail(QStringLiteral("the project has no window"));
    // On the screen at a usual size, so that the page is zoomed as a person sees it.
    m_window->resize(1280, 860);
    m_window->show();
    settle();
    m_histories.clear();
    return check(m_document->changeCount() == 0, QStringLiteral("opening counted a change"));
}

bool Soak::closeProject() {
    m_textInspector->updateUIWithGraph(nullptr);
    m_histories.clear();
    m_window = nullptr;
    m_document->close();
    const std::weak_ptr<KXDocument> gone = m_document;
    m_document.reset();
    settle();
    if (!check(documents().documents().empty(), QStringLiteral("the closed document is still listed")))
        return false;
    return check(gone.expired(), QStringLiteral("the closed document is still alive"));
}

void Soak::settle() {
    // The automatic group of each undo manager closes on the next turn of the event loop.
    for (int i = 0; i < 2; ++i)
        QCoreApplication::processEvents();
}

std::vector<std::shared_ptr<KXGraph>> Soak::graphsWhere(const std::function<bool(const KXGraph&)>& test) const {
    std::vector<std::shared_ptr<KXGraph>> found;
    for (const auto& graph : page()->graphs())
        if (test(*graph))
            found.push_back(graph);
    return found;
}

std::vector<std::shared_ptr<KXGraph>> Soak::unlockedGraphs() const {
    return graphsWhere([](const KXGraph& graph) { return !graph.isLocked(); });
}

bool Soak::recordEdit(KXCanvas& page, const QByteArray& before, const QString& name) {
    settle();
    const int made = std::exchange(m_newSteps[&page.undoManager()], 0);
    m_newSteps.clear();
    const QByteArray after = pageArchive(page);
    History& history = m_histories[&page];
    if (history.states.empty())
        history.states.push_back(before);
    if (made == 0)
        return after == before || differs(name + QStringLiteral(" changed the page without an undo step"), before, after);
    m_cycleSteps += made;
    history.states.resize(history.position + 1);
    for (int i = 1; i < made; ++i)
        history.states.push_back(std::nullopt);
    history.states.push_back(after);
    history.position = history.states.size() - 1;
    return true;
}

bool Soak::undoSteps(int count, bool undo) {
    KXCanvas* current = page();
    History& history = m_histories[current];
    if (history.states.empty())
        history.states.push_back(pageArchive(*current));
    for (int i = 0; i < count; ++i) {
        kx::UndoManager& manager = current->undoManager();
        const bool can = undo ? manager.canUndo() : manager.canRedo();
        const bool known = undo ? history.position > 0 : history.position + 1 < history.states.size();
        if (!check(can == known, QStringLiteral("%1 is %2 but the history says otherwise")
                                     .arg(undo ? "undo" : "redo", can ? "possible" : "impossible")))
            return false;
        if (!can)
            return true;
        const QByteArray before = pageArchive(*current);
        if (undo)
            m_window->undoAction();
        else
            m_window->redoAction();
        settle();
        m_newSteps.clear();
        history.position += undo ? -1 : 1;
        const std::optional<QByteArray>& expected = history.states[history.position];
        const QByteArray now = pageArchive(*current);
        if (expected && now != *expected)
            return differs(QStringLiteral("%1 to step %2 gave another page").arg(undo ? "undo" : "redo").arg(history.position),
                           *expected, now);
        if (!expected && !check(now != before, QStringLiteral("an undo step changed nothing")))
            return false;
    }
    return true;
}

bool Soak::replayAll() {
    KXProject* project = m_window->project();
    const std::int64_t shown = project->currentIndex();
    for (std::int64_t i = 0; i < project->canvasCount(); ++i) {
        KXCanvas* canvas = project->canvasAtIndex(i);
        const auto found = m_histories.find(canvas);
        if (found == m_histories.end() || found->second.states.size() < 2)
            continue;
        m_where = QStringLiteral("replay of page %1").arg(i + 1);
        if (!check(m_window->switchCanvasToIndex(i), QStringLiteral("cannot show the page")))
            return false;
        const std::size_t steps = found->second.position;
        const std::size_t ahead = found->second.states.size() - 1 - steps;
        if (!undoSteps(int(steps), true) || !undoSteps(int(steps + ahead), false) || !undoSteps(int(ahead), true))
            return false;
    }
    return check(m_window->switchCanvasToIndex(shown), QStringLiteral("cannot show the page again"));
}

bool Soak::previewKeepsProportions() {
    // The shown page is drawn at a zoom that keeps its proportions; objects take their frames from it.
    const KXCanvas& shown = *page();
    const kx::Size pixels = shown.pixelSize();
    const kx::Size preview = shown.previewSize();
    const double expected = pixels.width / pixels.height;
    const double found = preview.width / preview.height;
    return check(std::abs(found - expected) <= 0.01 * expected,
                 QStringLiteral("the shown page of %1 x %2 pixels is previewed at %3 x %4")
                     .arg(pixels.width).arg(pixels.height).arg(preview.width).arg(preview.height));
}

std::map<QString, QByteArray> Soak::allArchives() const {
    std::map<QString, QByteArray> archives;
    KXProject* project = m_window->project();
    for (std::int64_t i = 0; i < project->canvasCount(); ++i)
        archives[QStringLiteral("page %1").arg(i + 1)] = pageArchive(*project->canvasAtIndex(i));
    return archives;
}

bool Soak::saveAndCompareAfterReopen(CycleReport& report) {
    m_where = QStringLiteral("save");
    m_window->saveAction();
    settle();
    if (!check(m_document->changeCount() == 0, QStringLiteral("the save left changes to save")))
        return false;
    const std::map<QString, QByteArray> saved = allArchives();
    if (!closeProject() || !openProject())
        return false;
    m_where = QStringLiteral("reopen");
    m_window->saveAction();
    settle();
    const std::map<QString, QByteArray> reopened = allArchives();
    if (!check(reopened.size() == saved.size(),
               QStringLiteral("%1 pages came back of %2").arg(reopened.size()).arg(saved.size())))
        return false;
    for (const auto& [name, bytes] : saved)
        if (reopened.at(name) != bytes)
            return differs(name + QStringLiteral(" came back different"), bytes, reopened.at(name));
    report.pages = m_window->project()->canvasCount();
    for (std::int64_t i = 0; i < report.pages; ++i)
        report.graphs += m_window->project()->canvasAtIndex(i)->graphCount();
    return true;
}

bool Soak::command() {
    KXCanvas& current = *page();
    kx::UndoManager& undo = current.undoManager();
    const std::vector<std::shared_ptr<KXGraph>> unlocked = unlockedGraphs();
    const std::int64_t count = current.graphCount();
    const bool full = count >= kMaxGraphsPerPage;
    const QByteArray before = pageArchive(current);
    m_newSteps.clear();

    enum Command {
        AddShape, AddText, AddPhoto, Delete, Move, Resize, Turn, Group, Ungroup, Lock, Unlock, EditText,
        Fill, PageFill, AddPages, DuplicatePage, RemovePage, ShowPage, Undo, Redo, CommandCount
    };
    static const char* const kNames[] = {"add shape", "add text",  "add photo",   "delete",         "move",
                                         "resize",    "turn",      "group",       "ungroup",        "lock",
                                         "unlock",    "edit text", "change fill", "change page fill",
                                         "add pages", "duplicate page", "remove page", "show page", "undo",
                                         "redo"};
    static_assert(std::size(kNames) == CommandCount);
    const auto choice = Command(randomInt(0, CommandCount - 1));
    const QString name = QString::fromLatin1(kNames[choice]);
    m_where.append(u' ').append(name);
    if (m_trace)
        std::fprintf(stderr, "%s (page %lld of %lld, %lld objects)\n", qPrintable(m_where),
                     (long long)m_window->project()->currentIndex() + 1, (long long)m_window->project()->canvasCount(),
                     (long long)count);

    switch (choice) {
    case AddShape:
    case AddText:
    case AddPhoto:
        if (full)
            return true;
        if (choice == AddShape)
            m_window->chooseShapeAtIndex(randomInt(0, 13));
        else if (choice == AddText)
            m_window->addTextAction();
        else if (!m_window->addImageWithPath(pick(m_photos)))
            return fail(QStringLiteral("the photo was refused"));
        if (!check(current.graphCount() == count + 1, QStringLiteral("no object was added")))
            return false;
        return recordEdit(current, before, name);
    case Delete:
        if (unlocked.empty())
            return true;
        current.removeGraph(pick(unlocked).get());
        return recordEdit(current, before, name);
    case Move:
    case Resize:
    case Turn: {
        if (unlocked.empty())
            return true;
        const std::shared_ptr<KXGraph> graph = pick(unlocked);
        // As a drag on the canvas does: one group around the whole gesture.
        undo.beginUndoGrouping();
        if (choice == Move)
            graph->moveGraphWithOffsetX(randomReal(-60, 60), randomReal(-60, 60));
        else if (choice == Resize)
            graph->resizeGraphWithOffsetX(randomReal(-30, 40), randomReal(-30, 40), std::uint32_t(randomInt(0, 7)),
                                          randomInt(0, 1) == 1);
        else
            graph->rotateGraphWithOffsetAngle(randomReal(-45, 45));
        undo.endUndoGrouping();
        return recordEdit(current, before, name);
    }
    case Group: {
        if (unlocked.size() < 2)
            return true;
        std::vector<std::shared_ptr<KXGraph>> chosen = unlocked;
        std::shuffle(chosen.begin(), chosen.end(), m_random);
        chosen.resize(std::size_t(randomInt(2, int(std::min<std::size_t>(3, chosen.size())))));
        if (!current.groupGraphs(chosen))
            return fail(QStringLiteral("nothing was grouped"));
        return recordEdit(current, before, name);
    }
    case Ungroup: {
        const auto groups =
            graphsWhere([](const KXGraph& graph) { return !graph.isLocked() && graph.graphType() == KXGraphTypeGroup; });
        if (groups.empty())
            return true;
        current.ungroupGraphs({pick(groups)});
        return recordEdit(current, before, name);
    }
    case Lock:
    case Unlock: {
        const auto candidates =
            graphsWhere([&](const KXGraph& graph) { return graph.isLocked() == (choice == Unlock); });
        if (candidates.empty())
            return true;
        current.setAllGrpahsSelection(false);
        pick(candidates)->setSelected(true);
        if (choice == Lock)
            current.lockSelectedGraphs();
        else
            current.unlockSelectedGraphs();
        return recordEdit(current, before, name);
    }
    case EditText: {
        const auto texts = graphsWhere([](const KXGraph& graph) {
            const auto* shape = dynamic_cast<const KXShape*>(&graph);
            return !graph.isLocked() && shape && dynamic_cast<KXAdvancedText*>(shape->text());
        });
        if (texts.empty())
            return true;
        static const char* const kWords[] = {"Summer", "at the lake", "Happy birthday", "Grandma's garden",
                                             "2026", "Ünïcödé ✓", "A much longer caption that wraps"};
        m_textInspector->updateUIWithGraph(pick(texts));
        if (!m_textInspector->text() || !m_textInspector->textView())
            return fail(QStringLiteral("the text inspector did not take the text"));
        m_textInspector->textView()->setPlainText(QString::fromUtf8(kWords[randomInt(0, std::size(kWords) - 1)]));
        m_textInspector->updateUIWithGraph(nullptr);
        return recordEdit(current, before, name);
    }
    case Fill:
    case PageFill: {
        KXBackground* fill = current.background();
        if (choice == Fill) {
            const auto filled = graphsWhere([](const KXGraph& graph) { return !graph.isLocked() && graph.background(); });
            if (filled.empty())
                return true;
            fill = pick(filled)->background();
        }
        const kx::Color colour = kx::Color::srgb(randomInt(0, 8) / 8.0, randomInt(0, 8) / 8.0, randomInt(0, 8) / 8.0, 1);
        if (colour == fill->color1())
            return true;
        fill->setColor1(colour);
        return recordEdit(current, before, name);
    }
    case AddPages: {
        KXProject* project = m_window->project();
        if (project->canvasCount() >= kMaxPages)
            return true;
        const std::int64_t pages = project->canvasCount();
        m_window->setNewPage(true);
        m_window->templateWindowControllerOpenTemplate(nullptr, m_template, 0);
        return check(kxtest::processEventsUntil([&] { return project->canvasCount() == pages + 2; }),
                     QStringLiteral("the template's pages never came"));
    }
    case DuplicatePage:
    case RemovePage: {
        KXProject* project = m_window->project();
        const std::int64_t pages = project->canvasCount();
        if (choice == DuplicatePage ? pages >= kMaxPages : pages < 2)
            return true;
        if (choice == DuplicatePage) {
            m_window->pageCommands()->duplicatePage();
        } else {
            m_histories.erase(&current);
            m_window->pageCommands()->removeSelectedPage();
        }
        settle();
        return check(project->canvasCount() == pages + (choice == DuplicatePage ? 1 : -1),
                     QStringLiteral("the page count is %1 after %2").arg(project->canvasCount()).arg(pages));
    }
    case ShowPage: {
        const std::int64_t index = randomInt(0, int(m_window->project()->canvasCount()) - 1);
        if (!check(m_window->switchCanvasToIndex(index), QStringLiteral("cannot show page %1").arg(index + 1)))
            return false;
        return recordEdit(current, before, name);
    }
    case Undo:
    case Redo:
        return undoSteps(randomInt(1, 6), choice == Undo);
    case CommandCount:
        break;
    }
    return true;
}

Result Soak::run() {
    m_where = QStringLiteral("set-up");
    if (setUp() && openProject()) {
        for (int cycle = 1; cycle <= m_options.cycles; ++cycle) {
            m_cycleSteps = 0;
            bool ok = true;
            for (int i = 1; ok && i <= m_options.commandsPerCycle; ++i) {
                m_where = QStringLiteral("cycle %1 command %2").arg(cycle).arg(i);
                ok = command() && previewKeepsProportions();
            }
            CycleReport report;
            report.cycle = cycle;
            report.steps = m_cycleSteps;
            if (!ok || !replayAll() || !saveAndCompareAfterReopen(report) || !m_result.failure.isEmpty()) {
                if (!m_options.keepGoing)
                    break;
                // Noted; the run goes on from the project as last saved.
                m_result.failures << m_result.failure;
                m_result.failure.clear();
                if (m_document) {
                    m_textInspector->updateUIWithGraph(nullptr);
                    m_histories.clear();
                    m_window = nullptr;
                    m_document->close();
                    m_document.reset();
                    settle();
                }
                if (!openProject())
                    break;
            }
            report.residentKb = residentKb();
            report.peakKb = peakResidentKb();
            m_result.residentKb.push_back(report.residentKb);
            m_result.cyclesRun = cycle;
            if (m_options.onCycle)
                m_options.onCycle(report);
        }
    }
    tearDown();
    if (m_result.failure.isEmpty() && !m_result.failures.isEmpty())
        m_result.failure = m_result.failures.front();
    m_result.passed = m_result.failure.isEmpty() && m_result.cyclesRun == m_options.cycles;
    return m_result;
}

}  // namespace

Result runSoak(const Options& options) {
    return Soak(options).run();
}

}  // namespace kxsoak
