// The multi-selection view of the property tab, shown for no object or several: a header, two texts for an
// empty selection, the alignment controls (edges, centres, same size) and the group, ungroup, lock and
// unlock buttons. The property tab answers its controls; this view shows and enables them for the objects.
#pragma once

#include "inspectors/view_controller.h"
#include "model/canvas.h"

class QFrame;
class QLabel;
class QPushButton;

namespace kx::controls {
class KXOnOffButton;
class KXSegmentedControl;
}  // namespace kx::controls

class KXMultiSelectionViewController : public KXViewController {
    Q_OBJECT
public:
    KXMultiSelectionViewController();
    ~KXMultiSelectionViewController() override;

    // The no-selection texts show for no object; the alignment controls and buttons for one or more.
    void updateUIWithGraphs(const KXCanvas::GraphList& graphs);
    // Group: two unlocked objects; ungroup: an unlocked group; lock: one unlocked; unlock: one locked.
    void updateButtonEnable(const KXCanvas::GraphList& graphs);

    kx::controls::KXOnOffButton* btMultSelection() const { return m_btMultSelection; }
    QLabel* tfNoSelectedTitle() const { return m_tfNoSelectedTitle; }
    QLabel* tfNoSelectedTitle1() const { return m_tfNoSelectedTitle1; }
    QWidget* alignmentView() const { return m_alignmentView; }
    QLabel* tfAlignment() const { return m_tfAlignment; }
    QLabel* tfSameSize() const { return m_tfSameSize; }
    QFrame* lineBox() const { return m_lineBox; }
    // Four segments: left, right, top and bottom edges.
    kx::controls::KXSegmentedControl* segLineAlign() const { return m_segLineAlign; }
    // Two segments: centres on one horizontal line, on one vertical line.
    kx::controls::KXSegmentedControl* segCenterAlign() const { return m_segCenterAlign; }
    // Three segments: same width, same height, same size.
    kx::controls::KXSegmentedControl* segSizeAlign() const { return m_segSizeAlign; }
    QPushButton* btGroup() const { return m_btGroup; }
    QPushButton* btUngroup() const { return m_btUngroup; }
    QPushButton* btLock() const { return m_btLock; }
    QPushButton* btUnlock() const { return m_btUnlock; }

protected:
    QWidget* loadView() override;

private:
    kx::controls::KXOnOffButton* m_btMultSelection = nullptr;
    QLabel* m_tfNoSelectedTitle = nullptr;
    QLabel* m_tfNoSelectedTitle1 = nullptr;
    QWidget* m_alignmentView = nullptr;
    QLabel* m_tfAlignment = nullptr;
    QLabel* m_tfSameSize = nullptr;
    QFrame* m_lineBox = nullptr;
    kx::controls::KXSegmentedControl* m_segLineAlign = nullptr;
    kx::controls::KXSegmentedControl* m_segCenterAlign = nullptr;
    kx::controls::KXSegmentedControl* m_segSizeAlign = nullptr;
    QPushButton* m_btGroup = nullptr;
    QPushButton* m_btUngroup = nullptr;
    QPushButton* m_btLock = nullptr;
    QPushButton* m_btUnlock = nullptr;
};
