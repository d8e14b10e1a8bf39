#include "app/page_commands.h"

#include "app/main_window.h"
#include "canvas/canvas_layer.h"
#include "canvas/canvas_view.h"
#include "document/project.h"
#include "inspectors/setting_view_controller.h"
#include "model/background.h"
#include "model/canvas.h"
#include "model/graph.h"
#include "model/page_size.h"
#include "model/photo.h"
#include "model/shape.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/undo_manager.h"

#include <QBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QToolBar>

#include <cmath>

namespace {

QString localized(const char* key) {
    return kx::Bundle::main().localizedString(QString::fromUtf8(key));
}

KXPageCommands::ConfirmPresenter& confirmPresenter() {
    static KXPageCommands::ConfirmPresenter presenter;
    return presenter;
}

// The four margins of a page measured from its edges: top, bottom, left, right.
std::array<float, 4> pageMargins(const KXCanvas& page) {
    const kx::Rect m = page.marginRect();
    const kx::Size p = page.pixelSize();
    return {float(p.height - (m.origin.y + m.size.height)), float(m.origin.y), float(m.origin.x),
            float(p.width - (m.origin.x + m.size.width))};
}

}  // namespace

void KXPageCommands::setConfirmPresenter(ConfirmPresenter presenter) {
    confirmPresenter() = std::move(presenter);
}

KXPageCommands::KXPageCommands(KXMainWindow& window)
    : m_window(window), m_strip(std::make_unique<KXMultiPageViewController>(window.project())) {
    m_strip->setDelegate(this);
    m_window.settingVC()->pageVC()->setDelegate(this);
    QObject::connect(m_strip->btRemovePage(), &QPushButton::clicked, this, [this] { removeSelectedPage(); });
    QMenu* menu = m_strip->editMenu();
    QObject::connect(menu->addAction(localized("AddPage")), &QAction::triggered, this, [this] { addNewPage(); });
    QObject::connect(menu->addAction(localized("DuplicatePage")), &QAction::triggered, this, [this] { duplicatePage(); });
    QObject::connect(menu->addAction(localized("RemovePage")), &QAction::triggered, this,
                     [this] { removeSelectedPage(); });

    // The Pages button beside the page counter opens the strip.
    if (QWidget* bar = m_window.bottomMidView(); bar && bar->layout()) {
        auto* pages = new QPushButton(localized("Pages"), bar);
        pages->setObjectName(QStringLiteral("btPages"));
        if (auto* row = qobject_cast<QBoxLayout*>(bar->layout()))
            row->insertWidget(0, pages);
        QObject::connect(pages, &QPushButton::clicked, this, [this, pages] { showPagesAction(pages); });
    }
    // The Page menu.
    QMenu* pageMenu = m_window.menuBar()->addMenu(localized("PageMenu"));
    pageMenu->setObjectName(QStringLiteral("PageMenu"));
    const auto command = [&](const char* key, auto slot) {
        QAction* action = pageMenu->addAction(localized(key));
        action->setObjectName(QString::fromLatin1(key));
        QObject::connect(action, &QAction::triggered, this, slot);
        return action;
    };
    command("AddPage", [this] { addNewPage(); });
    command("DuplicatePage", [this] { duplicatePage(); });
    QAction* remove = command("RemovePage", [this] { removeSelectedPage(); });
    pageMenu->addSeparator();
    command("SetAsBackground", [this] { setAsBackground(); });
    QObject::connect(pageMenu, &QMenu::aboutToShow, this, [this, remove] {
        KXProject* project = m_window.project();
        remove->setEnabled(project && project->canvasCount() > 1);
    });
    // The toolbar's Background item opens the background editor.
    if (QAction* background = m_window.tbiBackground()) {
        background->setEnabled(true);
        QObject::connect(background, &QAction::triggered, this, [this] { backgroundAction(); });
    }
}

KXPageCommands::~KXPageCommands() {
    // Undo steps that would call back into these commands go with them.
    if (KXProject* project = m_window.project()) {
        for (std::int64_t i = 0; i < project->canvasCount(); ++i) {
            if (KXCanvas* page = project->canvasAtIndex(i))
                page->undoManager().removeAllActions(this);
        }
    }
    if (m_backgroundVC)
        m_backgroundVC->setDelegate(nullptr);
    m_strip->setDelegate(nullptr);
    if (m_window.settingVC())
        m_window.settingVC()->pageVC()->setDelegate(nullptr);
}

KXCanvas* KXPageCommands::currentPage() const {
    KXProject* project = m_window.project();
    return project ? project->currentCanvas() : nullptr;
}

void KXPageCommands::leaveEditingModes() {
    // A photo being cropped or a pen drawing under way belongs to the page as it was.
    if (KXPreview* preview = m_window.preview())
        preview->exitCropAndDrawModes();
}

void KXPageCommands::redrawCurrentPage() {
    KXProject* project = m_window.project();
    if (const auto layer = project ? project->currentCanvasLayer() : nullptr)
        layer->setNeedsDisplay();
}

void KXPageCommands::countChange() {
    m_window.m_lockChangeCount = true;
    if (KXDocument* document = m_window.document())
        document->updateChangeCount(kx::ChangeDone);
}

// ---- page commands ----

void KXPageCommands::addNewPage() {
    m_window.showTemplates(false);
    m_window.setNewPage(true);
}

void KXPageCommands::duplicatePage() {
    KXProject* project = m_window.project();
    KXCanvas* page = currentPage();
    if (!page)
        return;
    leaveEditingModes();
    std::shared_ptr<KXCanvas> copy = page->copy();
    if (!copy)
        return;
    const std::int64_t i = project->currentIndex();
    project->insertCanvasLayer(KXCanvasLayer::create(std::move(copy)), i + 1);
    countChange();
    KXPageItem item;
    item.name = std::int32_t(i + 2);
    item.version = std::uint64_t(m_strip->versionIdx());
    m_strip->insertItem(item, i + 1);
    m_strip->setVersionIdx(m_strip->versionIdx() + 1);
    m_strip->setVersionIdx(m_strip->versionIdx() - 1);
    m_window.switchCanvasToIndex(i + 1);
}

void KXPageCommands::removeSelectedPage() {
    KXProject* project = m_window.project();
    // A project keeps at least one page.
    if (!project || project->canvasCount() < 2)
        return;
    const QString message = localized("DeletePage");
    const QString informative = localized("DeletePageTip");
    const QString confirm = localized("Confirm");
    const QString cancel = localized("Cancel");
    int code = kAlertSecondButtonReturn;
    if (confirmPresenter()) {
        code = confirmPresenter()(&m_window, message, informative, confirm, cancel);
    } else {
        QMessageBox box(QMessageBox::Information, QString(), message, QMessageBox::NoButton, &m_window);
        box.setInformativeText(informative);
        QPushButton* first = box.addButton(confirm, QMessageBox::AcceptRole);
        box.addButton(cancel, QMessageBox::RejectRole);
        box.setWindowModality(Qt::WindowModal);
        box.exec();
        code = box.clickedButton() == first ? kAlertFirstButtonReturn : kAlertSecondButtonReturn;
    }
    alertDidEnd(code);
}

void KXPageCommands::alertDidEnd(int returnCode) {
    KXProject* project = m_window.project();
    if (returnCode != kAlertFirstButtonReturn || !project || project->canvasCount() < 2)
        return;
    leaveEditingModes();
    const std::shared_ptr<KXCanvasLayer> layer = project->currentCanvasLayer();
    if (!layer)
        return;
    layer->canvas()->undoManager().removeAllActions(this);
    // The strip's selection is the page shown, which is the one removed.
    m_strip->selectItemAtIndex(project->currentIndex());
    project->removeCanvasLayer(layer.get());
    m_strip->removeSelectedItem();
    m_window.switchCanvasToIndex(project->currentIndex());
    countChange();
}

void KXPageCommands::showPagesAction(QWidget* button) {
    if (!button)
        return;
    const QPoint p = button->mapToGlobal(QPoint(button->width() / 2, 0));
    m_strip->popupAtPosition(p);
}

// ---- page strip ----

void KXPageCommands::multiPageViewControllerSelectPageAtIndex(std::int64_t index) {
    KXProject* project = m_window.project();
    if (project && index != project->currentIndex())
        m_window.switchCanvasToIndex(index);
}

void KXPageCommands::adjustCanvasAtIndex(std::int64_t from, std::int64_t to) {
    KXProject* project = m_window.project();
    const std::int64_t count = project ? project->canvasCount() : 0;
    if (from < 0 || from >= count || to < 0 || to >= count || from == to)
        return;
    // The page on screen stays current wherever the move puts it.
    std::int64_t current = project->currentIndex();
    if (current == from)
        current = to;
    else if (from < current && current <= to)
        current -= 1;
    else if (to <= current && current < from)
        current += 1;
    const std::shared_ptr<KXCanvasLayer> layer = project->canvasLayerAtIndex(from);
    project->removeCanvasLayer(layer.get());
    project->insertCanvasLayer(layer, to);
    project->setCurrentIndex(current);
    m_window.updateMultiPageUIWithPageIndex(current);
    m_strip->selectItemAtIndex(current);
    // The new order is saved with the project.
    countChange();
}

// ---- page setup ----

void KXPageCommands::pageViewControllerDidChangeSize(const KXSize& size) {
    KXProject* project = m_window.project();
    KXCanvas* page = currentPage();
    if (!page || !page->pageSize())
        return;
    const std::shared_ptr<KXSize> old = page->pageSize()->copy();
    const std::shared_ptr<KXSize> next = size.copy();
    if (!old || !next)
        return;
    page->undoManager().registerUndo(this, [this, old] { pageViewControllerDidChangeSize(*old); });
    leaveEditingModes();
    {
        kx::UndoDisabler noUndo(page->undoManager());
        project->setPageSize(*next);
    }
    if (KXPreview* preview = m_window.preview())
        preview->updatePreviewNeedsChangeVisible(true);
    m_strip->updateAllItems();
    m_strip->reloadData();
    m_window.settingVC()->pageVC()->setPageSize(page->pageSize());
    updateMarginUI();
}

void KXPageCommands::pageViewControllerDidChangeClipMargin(bool clip) {
    changeClipMargin(clip);
}

void KXPageCommands::changeClipMargin(bool clip) {
    KXCanvas* page = currentPage();
    if (!page)
        return;
    const bool old = page->clipMargin();
    page->undoManager().registerUndo(this, [this, old] { changeClipMargin(old); });
    page->setClipMargin(clip);
    redrawCurrentPage();
    m_window.settingVC()->pageVC()->setClipMargin(clip);
}

void KXPageCommands::pageViewControllerDidChangeMarginTop(double top, double bottom, double left, double right) {
    changeMargin({float(top), float(bottom), float(left), float(right)});
}

bool KXPageCommands::changeMargin(const std::array<float, 4>& margins) {
    KXCanvas* page = currentPage();
    if (!page)
        return false;
    const kx::Size p = page->pixelSize();
    const auto [top, bottom, left, right] = margins;
    // Margins are distances inside the page: none negative, and the two of each direction leave some page.
    bool usable = true;
    for (const float m : margins)
        usable = usable && std::isfinite(m) && m >= 0;
    if (!usable || double(left) + double(right) >= p.width || double(top) + double(bottom) >= p.height) {
        updateMarginUI();
        return false;
    }
    const std::array<float, 4> old = pageMargins(*page);
    page->undoManager().registerUndo(this, [this, old] { changeMargin(old); });
    page->setMarginRect({left, bottom, p.width - left - right, p.height - top - bottom});
    redrawCurrentPage();
    m_window.settingVC()->pageVC()->setMarginTop(top, bottom, left, right);
    return true;
}

void KXPageCommands::updateMarginUI() {
    if (KXCanvas* page = currentPage()) {
        const std::array<float, 4> m = pageMargins(*page);
        m_window.settingVC()->pageVC()->setMarginTop(m[0], m[1], m[2], m[3]);
    }
}

// ---- background ----

KXBackgroundViewController* KXPageCommands::backgroundVC() {
    if (!m_backgroundVC) {
        m_backgroundVC = std::make_unique<KXBackgroundViewController>();
        m_backgroundVC->setDelegate(this);
    }
    return m_backgroundVC.get();
}

void KXPageCommands::backgroundAction() {
    KXCanvas* page = currentPage();
    if (!page)
        return;
    QToolBar* toolbar = m_window.toolbar();
    QWidget* item = toolbar ? toolbar->widgetForAction(m_window.tbiBackground()) : nullptr;
    const QPoint anchor = item ? item->mapToGlobal(QPoint(item->width() / 2, item->height()))
                               : m_window.mapToGlobal(QPoint(m_window.width() / 2, 0));
    backgroundVC()->popupAtPosition(anchor, page->background());
}

void KXPageCommands::setAsBackground() {
    KXCanvas* page = currentPage();
    KXPreview* preview = m_window.preview();
    if (!page || !preview)
        return;
    const KXCanvas::GraphList selected = preview->selectedGraphs();
    if (selected.size() != 1 || selected.front()->graphType() != KXGraphTypePhoto)
        return;
    const auto* shape = dynamic_cast<const KXShape*>(selected.front().get());
    const KXPhoto* photo = shape ? shape->photo() : nullptr;
    if (!photo || photo->imagePath().isEmpty())
        return;
    KXBackground* background = page->background();
    background->setFillType(KXFillTypeCustomImage);
    background->setImageType(KXImageTypeStretchCrop);
    background->setCustomImagePath(photo->imagePath());
    redrawCurrentPage();
    if (m_backgroundVC)
        m_backgroundVC->synchronousBackground();
}

void KXPageCommands::backgroundViewControllerDidChangeBackground(KXBackgroundViewController*) {
    redrawCurrentPage();
}

void KXPageCommands::undoAdvanceGradientWithColorArray(const std::vector<kx::Color>& colors,
                                                       const std::vector<double>& locations) {
    if (KXCanvas* page = currentPage()) {
        page->undoBackgroundAdGradientWithColorArray(colors, locations);
        redrawCurrentPage();
    }
}

void KXPageCommands::setOtherBackgrounds(const std::vector<std::shared_ptr<KXBackground>>& backgrounds) {
    KXProject* project = m_window.project();
    KXCanvas* page = currentPage();
    if (!project || !page)
        return;
    // What each other page has now, for the step that reverses this one.
    std::vector<std::shared_ptr<KXBackground>> previous;
    for (std::int64_t i = 0, k = 0; i < project->canvasCount(); ++i) {
        KXCanvas* other = project->canvasAtIndex(i);
        if (!other || other == page)
            continue;
        previous.push_back(other->background() ? other->background()->copy() : nullptr);
        if (std::size_t(k) < backgrounds.size() && backgrounds[std::size_t(k)]) {
            kx::UndoDisabler noUndo(other->undoManager());
            other->setBackground(backgrounds[std::size_t(k)]->copy());
        }
        ++k;
    }
    page->undoManager().registerUndo(this, [this, previous] { setOtherBackgrounds(previous); });
    m_strip->updateAllItems();
    m_strip->reloadData();
    for (std::int64_t i = 0; i < project->canvasCount(); ++i) {
        if (const auto layer = project->canvasLayerAtIndex(i))
            layer->setNeedsDisplay();
    }
}

void KXPageCommands::applyToAllCanvasWithBackground(KXBackground* background) {
    KXProject* project = m_window.project();
    if (!project || !background)
        return;
    // Every other page gets its own copy, so that a later edit of one page leaves the others alone.
    std::vector<std::shared_ptr<KXBackground>> copies;
    for (std::int64_t i = 1; i < project->canvasCount(); ++i)
        copies.push_back(background->copy());
    setOtherBackgrounds(copies);
}

void KXPageCommands::backgroundSwapColors(KXBackground* background) {
    KXCanvas* page = currentPage();
    if (!page || !background)
        return;
    kx::UndoManager& undo = page->undoManager();
    undo.beginUndoGrouping();
    background->swapColors();
    undo.endUndoGrouping();
    redrawCurrentPage();
}

// ---- what the window tells ----

void KXPageCommands::pageSwitched(std::int64_t index) {
    m_strip->selectItemAtIndex(index);
    if (m_backgroundVC && m_backgroundVC->isWindowVisible())
        m_backgroundVC->hideWindow();
}

void KXPageCommands::projectReplaced() {
    m_strip->setProject(m_window.project());
    m_strip->updateAllItems();
}

void KXPageCommands::pagesInserted(std::int64_t index, std::int64_t count) {
    for (std::int64_t k = 0; k < count; ++k) {
        KXPageItem item;
        item.name = std::int32_t(index + 2 + k);
        item.version = std::uint64_t(m_strip->versionIdx());
        m_strip->insertItem(item, index + 1 + k);
    }
}

void KXPageCommands::documentChanged(bool lockedByCommand) {
    if (!lockedByCommand)
        m_strip->updateSelectedItem();
}
