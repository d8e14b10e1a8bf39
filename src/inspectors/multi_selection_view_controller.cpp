#include "inspectors/multi_selection_view_controller.h"

#include "controls/on_off_button.h"
#include "controls/segmented_control.h"
#include "inspectors/arrange_view_controller.h"
#include "inspectors/arrangement.h"
#include "inspectors/inspector_support.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

using namespace kx::inspectors;
using kx::controls::KXOnOffButton;
using kx::controls::KXSegmentedControl;

namespace {
constexpr int kWidth = kArrangePanelWidth;

KXSegmentedControl* segments(QWidget* parent, const char* name, std::initializer_list<const char*> labels, int y) {
    auto* control = new KXSegmentedControl(parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setSelectionMode(KXSegmentedControl::SelectionMode::Momentary);
    control->setSegmentCount(int(labels.size()));
    int i = 0;
    for (const char* label : labels) {
        control->setLabel(i, localized(label));
        control->setTag(i, i);
        ++i;
    }
    control->setGeometry(8, y, kWidth - 16, 24);
    return control;
}

QPushButton* button(QWidget* parent, const char* key, const char* name, int x, int y, int width) {
    auto* b = new QPushButton(localized(key), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, y, width, 26);
    return b;
}
}  // namespace

KXMultiSelectionViewController::KXMultiSelectionViewController() = default;

KXMultiSelectionViewController::~KXMultiSelectionViewController() = default;

QWidget* KXMultiSelectionViewController::loadView() {
    auto* view = new QWidget;
    view->setObjectName(QStringLiteral("selectionView"));
    m_btMultSelection = new KXOnOffButton(view);
    m_btMultSelection->setObjectName(QStringLiteral("btMultSelection"));
    m_btMultSelection->setTitle(localized("Multiple Selection"));
    m_btMultSelection->setGeometry(0, 0, kWidth, 28);
    m_btMultSelection->setState(true);
    m_btMultSelection->setSelectable(false);

    m_tfNoSelectedTitle = new QLabel(localized("NoSelectionTitle"), view);
    m_tfNoSelectedTitle->setObjectName(QStringLiteral("tfNoSelectedTitle"));
    m_tfNoSelectedTitle->setAlignment(Qt::AlignCenter);
    m_tfNoSelectedTitle->setGeometry(8, 48, kWidth - 16, 24);
    QFont bold = m_tfNoSelectedTitle->font();
    bold.setBold(true);
    m_tfNoSelectedTitle->setFont(bold);
    m_tfNoSelectedTitle1 = new QLabel(localized("NoSelectionTip"), view);
    m_tfNoSelectedTitle1->setObjectName(QStringLiteral("tfNoSelectedTitle1"));
    m_tfNoSelectedTitle1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_tfNoSelectedTitle1->setWordWrap(true);
    m_tfNoSelectedTitle1->setGeometry(8, 76, kWidth - 16, 48);

    m_alignmentView = new QWidget(view);
    m_alignmentView->setObjectName(QStringLiteral("alignmentView"));
    m_alignmentView->setGeometry(0, 36, kWidth, 176);
    m_tfAlignment = new QLabel(localized("Alignment"), view);
    m_tfAlignment->setObjectName(QStringLiteral("tfAlignment"));
    m_tfAlignment->setGeometry(8, 40, kWidth - 16, 20);
    m_segLineAlign = segments(view, "segLineAlign", {"AlignLeft", "AlignRight", "AlignTop", "AlignBottom"}, 64);
    // The longer edge names get the room they need; the four share the row.
    const double edgeWidths[] = {42, 50, 42, 70};
    for (int i = 0; i < 4; ++i)
        m_segLineAlign->setWidth(i, edgeWidths[i]);
    m_segCenterAlign = segments(view, "segCenterAlign", {"AlignMiddle", "AlignCenter"}, 94);
    m_tfSameSize = new QLabel(localized("Same Size"), view);
    m_tfSameSize->setObjectName(QStringLiteral("tfSameSize"));
    m_tfSameSize->setGeometry(8, 128, kWidth - 16, 20);
    m_segSizeAlign = segments(view, "segSizeAlign", {"SameWidth", "SameHeight", "SameBoth"}, 152);
    m_lineBox = new QFrame(view);
    m_lineBox->setObjectName(QStringLiteral("lineBox"));
    m_lineBox->setFrameShape(QFrame::HLine);
    m_lineBox->setFrameShadow(QFrame::Sunken);
    m_lineBox->setGeometry(8, 190, kWidth - 16, 4);
    const int half = (kWidth - 16 - 6) / 2;
    m_btGroup = button(view, "Group", "btGroup", 8, 202, half);
    m_btUngroup = button(view, "Ungroup", "btUngroup", 8 + half + 6, 202, half);
    m_btLock = button(view, "Lock", "btLock", 8, 234, half);
    m_btUnlock = button(view, "Unlock", "btUnlock", 8 + half + 6, 234, half);
    view->resize(kWidth, 270);
    return view;
}

void KXMultiSelectionViewController::updateUIWithGraphs(const KXCanvas::GraphList& graphs) {
    if (!view())
        return;
    const bool none = graphs.empty();
    m_tfNoSelectedTitle->setVisible(none);
    m_tfNoSelectedTitle1->setVisible(none);
    for (QWidget* w : std::initializer_list<QWidget*>{m_alignmentView, m_tfAlignment, m_tfSameSize, m_segLineAlign,
                                                      m_segCenterAlign, m_segSizeAlign, m_btGroup, m_btUngroup,
                                                      m_btLock, m_btUnlock, m_lineBox})
        w->setHidden(none);
    if (!none)
        updateButtonEnable(graphs);
}

void KXMultiSelectionViewController::updateButtonEnable(const KXCanvas::GraphList& graphs) {
    if (!view())
        return;
    m_btGroup->setEnabled(canGroupGraphs(graphs));
    m_btUngroup->setEnabled(canUngroupGraphs(graphs));
    m_btLock->setEnabled(canLockGraphs(graphs));
    m_btUnlock->setEnabled(canUnlockGraphs(graphs));
}
