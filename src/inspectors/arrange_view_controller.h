// The arrange inspector ("ArrangeView") of the one selected object: its position and size in the page's
// unit, its rotation in whole degrees, lock and unlock, ungroup (for a group), the width/height chain and
// how text wraps around it. It is the only inspector shown for groups and locked objects.
//
// Every edit goes straight into the object (its page records the undo step). The inspector refreshes itself
// whenever the layer of the object it shows announces a change ("KXGrapPropertyChanged"), except while it
// writes a rotation itself: that change is its own and would only be read back.
#pragma once

#include "inspectors/view_controller.h"
#include "model/graph.h"
#include "platform/foundation/notification_center.h"

#include <QPointer>

#include <memory>
#include <unordered_set>
#include <vector>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSlider;
class QToolButton;

namespace kx::controls {
class KXSegmentedControl;
class KXStepper;
class KXStepperField;
}  // namespace kx::controls

// The width the arrange inspector and the multi-selection view are laid out for: the settings panel's.
inline constexpr int kArrangePanelWidth = 220;

class KXArrangeViewController : public KXViewController {
    Q_OBJECT
public:
    KXArrangeViewController();
    ~KXArrangeViewController() override;

    // Shows the object (null: none) and follows its changes; the object shown before is no longer followed.
    void updateUIWithGraph(const std::shared_ptr<KXGraph>& graph);
    // Fills and enables the controls from the object.
    void updateUI();
    const std::shared_ptr<KXGraph>& graph() const { return m_graph; }

    // The buttons' actions: ungroup the object; lock or unlock every selected object of its page.
    void ungroupAction();
    void lockAction();
    void unLockAction();
    // Toggles the width/height chain setting for every open arrange inspector.
    void chainAction();
    // "chain" while the setting is on, else "unchain".
    static QString chainImageName();

    // A step or the end of typing in a position or size control.
    void rectChanged(kx::controls::KXStepper* sender);
    // The rotation slider or stepper moved.
    void rotateAction();
    void stepperRotationChange();

    QLineEdit* tfObjectLocationX() const { return m_tfX; }
    QLineEdit* tfObjectLocationY() const { return m_tfY; }
    QLineEdit* tfObjectWidth() const { return m_tfWidth; }
    QLineEdit* tfObjectHeight() const { return m_tfHeight; }
    kx::controls::KXStepper* stObjectLocationX() const { return m_stX; }
    kx::controls::KXStepper* stObjectLocationY() const { return m_stY; }
    kx::controls::KXStepper* stObjectWidth() const { return m_stWidth; }
    kx::controls::KXStepper* stObjectHeight() const { return m_stHeight; }
    QSlider* sliderRotation() const { return m_sliderRotation; }
    kx::controls::KXStepper* stLayerRotation() const { return m_stRotation; }
    QLineEdit* tfLayerRotation() const { return m_tfRotation; }
    QToolButton* btChain() const { return m_btChain; }
    QPushButton* btLock() const { return m_btLock; }
    QPushButton* btUnlock() const { return m_btUnlock; }
    QPushButton* btUngroup() const { return m_btUngroup; }
    QCheckBox* btTextWrapEnabel() const { return m_btTextWrap; }
    kx::controls::KXSegmentedControl* segmentWrapType() const { return m_segWrapType; }
    QLineEdit* tfTextSpace() const { return m_tfTextSpace; }
    kx::controls::KXStepper* stTextSpace() const { return m_stTextSpace; }

signals:
    // After every refresh of the controls from the object.
    void uiUpdated();

protected:
    QWidget* loadView() override;

private:
    void updatePositionConstraints();
    void updateChainImage();
    void showPosition(double x, double y);
    void showSize(double width, double height);
    void showRotation(int value);
    void exitObjectMode();
    // Typing in any field; the rotation field's number is applied at once.
    void controlTextDidChange(QLineEdit* field, const QString& text);
    // Typing ended in a position field: both are read, each held to its stepper's range.
    void positionEditingEnded();
    void wrapEnableChanged();
    void wrapTypeChange();
    void wrapSpaceChange();
    void enableWrapControls(bool enabled);
    std::int64_t pageUnit() const;

    std::shared_ptr<KXGraph> m_graph;
    kx::NotificationToken m_graphObserver;
    kx::NotificationToken m_chainObserver;
    bool m_needsUpdateUI = true;

    QLineEdit* m_tfX = nullptr;
    QLineEdit* m_tfY = nullptr;
    QLineEdit* m_tfWidth = nullptr;
    QLineEdit* m_tfHeight = nullptr;
    kx::controls::KXStepper* m_stX = nullptr;
    kx::controls::KXStepper* m_stY = nullptr;
    kx::controls::KXStepper* m_stWidth = nullptr;
    kx::controls::KXStepper* m_stHeight = nullptr;
    std::vector<kx::controls::KXStepperField*> m_rectFields;
    // The position and size fields typed in since they were last filled; only these write when typing ends.
    std::unordered_set<QLineEdit*> m_typedFields;
    QSlider* m_sliderRotation = nullptr;
    kx::controls::KXStepper* m_stRotation = nullptr;
    QLineEdit* m_tfRotation = nullptr;
    QToolButton* m_btChain = nullptr;
    QPushButton* m_btLock = nullptr;
    QPushButton* m_btUnlock = nullptr;
    QPushButton* m_btUngroup = nullptr;
    QCheckBox* m_btTextWrap = nullptr;
    kx::controls::KXSegmentedControl* m_segWrapType = nullptr;
    QLineEdit* m_tfTextSpace = nullptr;
    kx::controls::KXStepper* m_stTextSpace = nullptr;
    kx::controls::KXStepperField* m_textSpaceField = nullptr;
};
