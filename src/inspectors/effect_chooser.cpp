#include "inspectors/effect_chooser.h"

#include "controls/image_browser_view.h"
#include "controls/popup_window.h"
#include "graphics/image_effect_manager.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QFrame>
#include <QStyle>
#include <QVBoxLayout>

#include <vector>

using kx::controls::KXPopupWindow;
using kx::controls::PopoverEdge;

namespace {
// The cells' zoom: previews a little larger than the catalogue's 100-pixel ones, three to a row.
constexpr double kZoom = 0.37;
constexpr int kColumns = 3;
constexpr int kVisibleRows = 2;
constexpr int kFrameMargin = 4;
}  // namespace

KXEffectChooser::KXEffectChooser(QWidget* parent) : QObject(parent) {
    m_window = new KXPopupWindow(parent);
    m_window->setObjectName(QStringLiteral("effectWindow"));
    m_window->setMovableByBackground(false);

    // The popup window is see-through outside what its content paints: the content is an opaque frame.
    auto* frame = new QFrame;
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(kFrameMargin, kFrameMargin, kFrameMargin, kFrameMargin);
    m_browser = new kx::ImageBrowserView(frame);
    m_browser->setObjectName(QStringLiteral("effectBrowserView"));
    m_browser->setZoomValue(kZoom);
    m_browser->setTitlesShown(true);
    m_browser->setAllowsEmptySelection(false);
    m_browser->setDragEnabled(false);
    QFont titles = m_browser->font();
    titles.setPointSize(11);
    m_browser->setFont(titles);
    layout->addWidget(m_browser);
    m_window->setContentView(frame);
    QObject::connect(m_browser, &kx::ImageBrowserView::selectionDidChange, this, [this] { selectionChanged(); });
    reloadData();

    // Sized for whole cells once they are laid out: three across and two rows, the rest by scrolling.
    const QSize cell = m_browser->cellSize();
    const int spacing = 2 * m_browser->spacing();
    const int scrollBar = m_browser->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    m_browser->setFixedSize(kColumns * (cell.width() + spacing) + scrollBar + 2 * m_browser->frameWidth() + spacing,
                            kVisibleRows * (cell.height() + spacing) + 2 * m_browser->frameWidth() + spacing);
    m_window->adjustSize();
    if (qApp)
        qApp->installEventFilter(this);
}

KXEffectChooser::~KXEffectChooser() {
    if (qApp)
        qApp->removeEventFilter(this);
    // The window belongs to the parent widget, which may already be gone.
    delete m_window.data();
}

void KXEffectChooser::setCatalogue(const KXImageEffectManager* catalogue) {
    m_catalogue = catalogue;
    reloadData();
}

const KXImageEffectManager& KXEffectChooser::catalogue() const {
    return m_catalogue ? *m_catalogue : KXImageEffectManager::imageEffectManager();
}

void KXEffectChooser::reloadData() {
    const int selected = selectedIndex();
    const KXImageEffectManager& effects = catalogue();
    std::vector<kx::ImageBrowserItem> cells;
    const int count = effects.effectCount();
    for (int i = 0; i < count; ++i) {
        const KXImageEffectItemPtr effect = effects.effectItemAtIndex(i);
        if (!effect)
            continue;
        kx::ImageBrowserItem cell;
        // Two effect files may carry one name: the index keeps the cells apart.
        cell.uid = QStringLiteral("%1/%2").arg(i).arg(effect->imageUID());
        cell.title = effect->imageTitle();
        cell.subtitle = effect->imageSubtitle();
        cell.image = effect->imageRepresentation();
        cells.push_back(std::move(cell));
    }
    m_selecting = true;
    m_browser->setItems(std::move(cells));
    if (selected >= 0 && selected < m_browser->browserModel().itemCount())
        m_browser->selectItem(selected);
    m_selecting = false;
}

int KXEffectChooser::numberOfItems() const {
    return m_browser->browserModel().itemCount();
}

int KXEffectChooser::indexForEffectName(const QString& effectName) const {
    if (effectName.isEmpty())
        return 0;
    const KXImageEffectManager& effects = catalogue();
    // The browser's items follow the effects in order after "Original", so the first item whose name matches
    // ignoring case is the effect that drawing finds.
    const int count = effects.effectCount();
    for (int i = 1; i < count; ++i) {
        const KXImageEffectItemPtr item = effects.effectItemAtIndex(i);
        if (item && item->effectName().compare(effectName, Qt::CaseInsensitive) == 0)
            return i;
    }
    return 0;
}

bool KXEffectChooser::isMissingEffect(const QString& effectName) const {
    if (effectName.isEmpty() || indexForEffectName(effectName) != 0)
        return false;
    const KXImageEffectItemPtr original = catalogue().effectItemAtIndex(0);
    return !original || original->effectName() != effectName;
}

void KXEffectChooser::selectIndex(int index) {
    if (index < 0 || index >= numberOfItems())
        return;
    m_selecting = true;
    m_browser->selectItem(index);
    m_browser->scrollToItem(index);
    m_selecting = false;
}

int KXEffectChooser::selectedIndex() const {
    const std::vector<int> selected = m_browser->selectedItems();
    return selected.empty() ? -1 : selected.front();
}

void KXEffectChooser::selectionChanged() {
    if (m_selecting || !m_choice)
        return;
    const int index = selectedIndex();
    if (index >= 0)
        m_choice(index);
}

void KXEffectChooser::popupBelow(QWidget* button) {
    if (!button || !m_window)
        return;
    m_button = button;
    m_window->popupAt(QRect(button->mapToGlobal(QPoint(0, 0)), button->size()), PopoverEdge::Below);
    m_browser->setFocus();
    if (const int index = selectedIndex(); index >= 0)
        m_browser->scrollToItem(index);
}

void KXEffectChooser::toggleBelow(QWidget* button) {
    if (isShown())
        m_window->hide();
    else
        popupBelow(button);
}

bool KXEffectChooser::eventFilter(QObject* watched, QEvent* event) {
    // Only the press as it reaches a widget, once per click; a press on the opening button is left to its
    // click, which toggles the chooser.
    if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType() && isShown()) {
        auto* widget = static_cast<QWidget*>(watched);
        const bool inside = widget->window() == m_window.data() || (m_button && widget == m_button.data());
        if (!inside)
            m_window->hide();
    }
    return QObject::eventFilter(watched, event);
}

bool KXEffectChooser::isShown() const {
    return m_window && m_window->isVisible();
}
