// The document window's commands that put objects on the current page (text boxes, calendars, shapes,
// photos) and its cut, copy, paste and duplicate. The page-side work is in document/page_insertion and
// document/graph_pasteboard; here the window supplies the visible part of the page and the page layer's
// paste cascade, and the canvas view selects what was added.
#include "app/main_window.h"

#include "app/page_clipboard.h"
#include "canvas/arrow_panel_views.h"
#include "canvas/canvas_layer.h"
#include "canvas/canvas_view.h"
#include "document/graph_pasteboard.h"
#include "document/page_insertion.h"
#include "graphics/system_services.h"
#include "model/calendar.h"
#include "model/canvas.h"
#include "model/graph.h"
#include "model/shape.h"
#include "platform/foundation/bundle.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollArea>
#include <QToolBar>

#include <array>

namespace {

QString text(const char* key) {
    return kx::Bundle::main().localizedString(QString::fromUtf8(key));
}

KXMainWindow::ImageFileChooser& imageFileChooser() {
    static KXMainWindow::ImageFileChooser chooser;
    return chooser;
}

// The files our loaders read: every format of Qt's image plugins, and the drawings and JPNG images the
// loader decodes itself.
QString imageFileFilter() {
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    for (const char* extension : {"jpng", "pdf", "eps", "svg", "SVG", "ai", "AI"})
        patterns << QStringLiteral("*.") + QLatin1String(extension);
    patterns.removeDuplicates();
    return text("ImageFiles") + QStringLiteral(" (") + patterns.join(u' ') + u')';
}

QStringList chooseImageFiles(QWidget* window) {
    if (imageFileChooser())
        return imageFileChooser()(window);
    return QFileDialog::getOpenFileNames(window, text("InsertPhoto"), QString(), imageFileFilter());
}

// The Insert menu's shapes: title key and picker index.
struct ShapeItem {
    const char* key;
    int pickerIndex;
};
constexpr std::array<ShapeItem, 14> kShapeItems{{{"Line", 0},
                                                 {"Curve", 1},
                                                 {"Arrow Line", 2},
                                                 {"Rectangle", 3},
                                                 {"Rounded Rectangle", 4},
                                                 {"Triangle", 5},
                                                 {"Right Triangle", 6},
                                                 {"Arrow", 7},
                                                 {"Double Arrow", 8},
                                                 {"Oval", 9},
                                                 {"Speech Bubble", 10},
                                                 {"Lozenge", 11},
                                                 {"Polygon", 12},
                                                 {"Star", 13}}};

// The user-info key of the photos tab's add-photo notification.
const QString kIMBAddPhotoPathKey = QStringLiteral("kIMBAddPhotoPathKey");
const QString kIMBAddPhotoAction = QStringLiteral("kIMBAddPhotoAction");

}  // namespace

void KXMainWindow::setImageFileChooser(ImageFileChooser chooser) {
    imageFileChooser() = std::move(chooser);
}

void KXMainWindow::buildInsertCommands() {
    // Edit: cut, copy, paste and duplicate after undo and redo.
    QMenu* edit = menuBar()->findChild<QMenu*>(QStringLiteral("EditMenu"));
    if (edit) {
        edit->addSeparator();
        const auto add = [this, edit](const char* key, const QKeySequence& keys, void (KXMainWindow::*slot)()) {
            QAction* action = edit->addAction(text(key));
            action->setObjectName(QString::fromLatin1(key));
            action->setShortcut(keys);
            connect(action, &QAction::triggered, this, slot);
            return action;
        };
        m_cutItem = add("Cut", QKeySequence::Cut, &KXMainWindow::cutAction);
        m_copyItem = add("Copy", QKeySequence::Copy, &KXMainWindow::copyAction);
        m_pasteItem = add("Paste", QKeySequence::Paste, &KXMainWindow::pasteAction);
        m_duplicateItem = add("Duplicate", QKeySequence(Qt::CTRL | Qt::Key_D), &KXMainWindow::duplicateSelection);
    }

    // Insert: text box, calendar, the picker's shapes and photos from files, after the Edit menu.
    m_insertMenu = new QMenu(text("Insert"), this);
    m_insertMenu->setObjectName(QStringLiteral("InsertMenu"));
    QAction* before = nullptr;
    const QList<QAction*> menus = menuBar()->actions();
    for (qsizetype i = 0; edit && i + 1 < menus.size(); ++i) {
        if (menus[i] == edit->menuAction())
            before = menus[i + 1];
    }
    if (before)
        menuBar()->insertMenu(before, m_insertMenu);
    else
        menuBar()->addMenu(m_insertMenu);
    QAction* textBox = m_insertMenu->addAction(text("InsertText"));
    textBox->setObjectName(QStringLiteral("InsertText"));
    connect(textBox, &QAction::triggered, this, &KXMainWindow::addTextAction);
    QAction* calendar = m_insertMenu->addAction(text("Calendar"));
    calendar->setObjectName(QStringLiteral("InsertCalendar"));
    connect(calendar, &QAction::triggered, this, &KXMainWindow::addCalendarAction);
    QMenu* shapes = m_insertMenu->addMenu(text("Shape"));
    shapes->setObjectName(QStringLiteral("InsertShapeMenu"));
    for (const ShapeItem& item : kShapeItems) {
        QAction* action = shapes->addAction(text(item.key));
        action->setObjectName(QStringLiteral("InsertShape%1").arg(item.pickerIndex));
        action->setData(item.pickerIndex);
        connect(action, &QAction::triggered, this, [this, action] { chooseShapeAtIndex(action->data().toInt()); });
    }
    m_insertMenu->addSeparator();
    QAction* photo = m_insertMenu->addAction(text("InsertPhoto"));
    photo->setObjectName(QStringLiteral("InsertPhoto"));
    connect(photo, &QAction::triggered, this, &KXMainWindow::insertImageFromFinder);
    const auto addResourceItem = [this](const char* key, void (KXMainWindow::*slot)()) {
        QAction* action = m_insertMenu->addAction(text(key));
        action->setObjectName(QString::fromLatin1(key));
        connect(action, &QAction::triggered, this, slot);
    };
    addResourceItem("InsertImageFromInternet", &KXMainWindow::insertImageFromInternetAction);
    m_insertMenu->addSeparator();
    addResourceItem("ImportCliparts", &KXMainWindow::importClipartsAction);
    addResourceItem("ImportMasks", &KXMainWindow::importMasksAction);

    // The toolbar's shape item opens the picker.
    m_tbiShape->setEnabled(true);
    connect(m_tbiShape, &QAction::triggered, this, &KXMainWindow::shapeAction);

    // The photos tab: its fill button, and a double click that adds the photo.
    connect(m_resourceVC->btFillRandomly(), &QPushButton::clicked, this, &KXMainWindow::fillRandomly);
    if (KXImageBrowserView* browser = m_resourceVC->photoBrowser()) {
        connect(browser, &kx::ImageBrowserView::cellWasDoubleClicked, this, [this](int item) {
            const QStringList photos = m_resourceVC->currentImages();
            if (item < 0 || item >= photos.size())
                return;
            kx::ValueDictionary info;
            info[kIMBAddPhotoPathKey] = kx::Value(photos[item]);
            kx::NotificationCenter::defaultCenter().post(kIMBAddPhotoAction, m_resourceVC, info);
        });
    }
    m_addPhotoObserver = kx::NotificationCenter::defaultCenter().addObserver(
        kIMBAddPhotoAction, m_resourceVC, [this](const kx::Notification& n) { addPhotoNotification(n); });
}

kx::Rect KXMainWindow::visiblePageRect() const {
    KXCanvasLayer* layer = m_preview->canvasLayer();
    if (!layer)
        return {};
    const kx::Rect visible = m_preview->visibleRootRect();
    if (visible.isEmpty())
        return {};
    // The page layer is a direct sublayer of the view's root layer.
    const kx::Rect frame = layer->frame();
    return {visible.origin.x - frame.origin.x, visible.origin.y - frame.origin.y, visible.size.width,
            visible.size.height};
}

void KXMainWindow::selectInsertedGraphs(const std::vector<std::shared_ptr<KXGraph>>& graphs) {
    if (graphs.empty())
        return;
    // The new objects are selected on their own: no photo stays in crop mode and no drawing goes on.
    m_preview->exitCropAndDrawModes();
    m_preview->setSelectedGraphs(graphs);
}

void KXMainWindow::addTextAction() {
    KXCanvas* page = m_project ? m_project->currentCanvas() : nullptr;
    if (!page)
        return;
    if (auto shape = ::addTextBox(*page, m_insertOffset, visiblePageRect(), text("NewText")))
        selectInsertedGraphs({shape});
}

void KXMainWindow::addCalendarAction() {
    KXCanvas* page = m_project ? m_project->currentCanvas() : nullptr;
    if (!page)
        return;
    if (auto calendar = ::addCalendar(*page, m_insertOffset, visiblePageRect()))
        selectInsertedGraphs({calendar});
}

void KXMainWindow::chooseShapeAtIndex(std::int64_t index) {
    addShapeWidthType(shapeTypeForPickerIndex(index));
}

void KXMainWindow::addShapeWidthType(std::uint32_t shapeType) {
    KXCanvas* page = m_project ? m_project->currentCanvas() : nullptr;
    if (!page)
        return;
    if (auto shape = ::addShapeWithType(*page, m_insertOffset, visiblePageRect(), shapeType))
        selectInsertedGraphs({shape});
}

KXShapeWindowController* KXMainWindow::shapeWindowController() {
    if (!m_shapeWC) {
        m_shapeWC = std::make_unique<KXShapeWindowController>(this);
        // The picker sits on a white panel whose arrow points up at the toolbar item.
        installPanelBackground(m_shapeWC->window(), new KXShapePanelView);
    }
    return m_shapeWC.get();
}

void KXMainWindow::shapeAction() {
    shapeWindowController()->showShapeWindowWithFrame(popoverAnchorOfItem(m_tbiShape));
}

void KXMainWindow::insertImageFromFinder() {
    KXCanvas* page = m_project ? m_project->currentCanvas() : nullptr;
    if (!page)
        return;
    const QStringList paths = chooseImageFiles(this);
    if (paths.isEmpty())
        return;
    selectInsertedGraphs(addPhotosFromFiles(*page, paths));
    activateWindow();
}

void KXMainWindow::showResourceTab(std::int64_t tab) {
    m_tbResource->selectTabButtonAtIndex(tab);
    tabbarSelectionChanged(m_tbResource);
}

void KXMainWindow::insertImageFromInternetAction() {
    m_preview->exitCropAndDrawModes();
    m_resourceVC->searchOnInternet();
    showResourceTab(KXResourceTagClipart);
}

void KXMainWindow::importClipartsAction() {
    showResourceTab(KXResourceTagClipart);
    m_resourceVC->importCliparts();
}

void KXMainWindow::importMasksAction() {
    showResourceTab(KXResourceTagMask);
    m_resourceVC->importMasks();
}

bool KXMainWindow::addImageWithPath(const QString& path) {
    KXCanvas* page = m_project ? m_project->currentCanvas() : nullptr;
    if (!page)
        return false;
    QString error;
    auto shape = ::addImageWithPath(*page, path, visiblePageRect(), &error);
    if (!shape) {
        showAlert(text("ImageNotInserted").arg(QFileInfo(path).fileName()), error);
        return false;
    }
    selectInsertedGraphs({shape});
    return true;
}

void KXMainWindow::resourceViewControllerAddResources(KXResourceViewController*, const QStringList& paths) {
    for (const QString& path : paths)
        addImageWithPath(path);
}

void KXMainWindow::addPhotoNotification(const kx::Notification& notification) {
    const auto found = notification.userInfo.find(kIMBAddPhotoPathKey);
    const QString path = found != notification.userInfo.end() ? found->second.toString() : QString();
    if (!path.isEmpty())
        addImageWithPath(path);
}

void KXMainWindow::fillRandomly() {
    KXCanvas* page = m_project ? m_project->currentCanvas() : nullptr;
    if (!page)
        return;
    m_preview->exitCropAndDrawModes();
    const bool stillEmpty = ::fillRandomly(*page, m_resourceVC->currentImages(),
                                           [] { return QRandomGenerator::global()->generate(); });
    m_canFillRandomly = stillEmpty;
    m_resourceVC->setCanFillRandomly(stillEmpty);
}

// ---- the clipboard ----

bool KXMainWindow::canCopyObject() const {
    return ::canCopyObject(m_project ? m_project->currentCanvas() : nullptr);
}

bool KXMainWindow::canPasteObject() const {
    QClipboard* clipboard = sharedPasteboard();
    return clipboard && canPasteMimeData(clipboard->mimeData());
}

void KXMainWindow::validateClipboardItems() {
    // The clipboard items carry their tags; the window's validation covers them with every other item.
    validateMenuItems();
}

void KXMainWindow::copyAction() {
    KXCanvas* page = m_project ? m_project->currentCanvas() : nullptr;
    if (!page || !canCopyObject())
        return;
    const QByteArray datas = selectedGraphsAsDatas(*page);
    if (datas.isEmpty())
        return;
    // Start following the clipboard before it changes, so that a pasted image is known to be new.
    pasteboardChangeCount();
    writeGraphsToPasteboard(datas);
    // The first paste onto this page lands one step along, onto any other page in place.
    for (std::int64_t i = 0; i < m_project->canvasCount(); ++i) {
        if (const auto layer = m_project->canvasLayerAtIndex(i))
            layer->setOffset(i == m_project->currentIndex() ? kx::Point{0, 0} : kPasteOffsetOfOtherPages);
    }
}

void KXMainWindow::cutAction() {
    KXCanvas* page = m_project ? m_project->currentCanvas() : nullptr;
    if (!page || !canCopyObject())
        return;
    copyAction();
    // Removing several objects is one step.
    page->undoManager().beginUndoGrouping();
    m_preview->removeSelectedGrpahs();
    page->undoManager().endUndoGrouping();
}

void KXMainWindow::duplicateSelection() {
    if (!canCopyObject())
        return;
    copyAction();
    pasteAction();
}

void KXMainWindow::pasteAction() {
    KXCanvas* page = m_project ? m_project->currentCanvas() : nullptr;
    const auto layer = m_project ? m_project->currentCanvasLayer() : nullptr;
    QClipboard* clipboard = sharedPasteboard();
    if (!page || !layer || !clipboard)
        return;
    const QMimeData* data = clipboard->mimeData();
    kx::Point offset = layer->offset();
    switch (pasteRoadForMimeData(data)) {
    case KXPasteRoad::Graphs: {
        // Data of our type from another program is read within limits; what cannot be read pastes nothing.
        const auto pasted = readGraphPasteboardData(data->data(KXGrpahPasteboardType));
        if (!pasted)
            return;
        m_preview->setSelectedGraphs({});
        pasteGraphsOnPage(*page, offset, *pasted);
        layer->setOffset(offset);
        m_preview->checkSelectionChanged();
        break;
    }
    case KXPasteRoad::Files: {
        const KXCanvas::GraphList added = pasteImagesOnPage(*page, offset, localFilesOfMimeData(data));
        layer->setOffset(offset);
        selectInsertedGraphs(added);
        activateWindow();
        break;
    }
    case KXPasteRoad::Text: {
        const QSize view = m_scrollArea->viewport()->size();
        auto shape = pasteTextOnPage(*page, offset, data->text(), {double(view.width()), double(view.height())});
        layer->setOffset(offset);
        if (shape)
            selectInsertedGraphs({shape});
        activateWindow();
        break;
    }
    case KXPasteRoad::Image: {
        QString error;
        const QString path = m_pastedImage.fileForImage(imageOfMimeData(data), pasteboardChangeCount(), &error);
        if (path.isEmpty()) {
            showAlert(text("ImageNotInserted").arg(text("Image")), error);
            return;
        }
        const KXCanvas::GraphList added = pasteImagesOnPage(*page, offset, {path});
        layer->setOffset(offset);
        selectInsertedGraphs(added);
        activateWindow();
        break;
    }
    case KXPasteRoad::None:
        break;
    }
}
