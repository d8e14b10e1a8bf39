// The style inspector of one selected object: a collapsible style section with the object's fill, stroke,
// shadow and opacity (each control writes straight into the object; its page turns every write into an
// undo step), and a collapsible object section below it that hosts the inspector of the object's type
// (calendar, photo or text), installed through installObjectInspector().
//
// Filling the controls from an object (updateUIWithGraph) never writes the object: the controls' own
// reports are ignored while it runs.
#pragma once

#include "inspectors/fill_section.h"
#include "inspectors/value_row.h"
#include "inspectors/view_controller.h"
#include "model/graph.h"
#include "platform/foundation/notification_center.h"

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class QComboBox;
class QLineEdit;
class QSlider;
class QToolButton;

namespace kx::controls {
class KXColorWell;
class KXStepper;
}  // namespace kx::controls

// An inspector of one kind of object, hosted in the style inspector's object section. It is shown the
// selected object of its kind, and null when an object of another kind or nothing is shown (it then lets go
// of the object it held). When its view changes height it calls postNeedToUpdateContentView(), and the style
// inspector lays its panel out again.
class KXObjectInspector : public KXViewController {
public:
    virtual void updateUIWithGraph(const std::shared_ptr<KXGraph>& graph) = 0;

protected:
    // Posts KXNeedToUpdateContentView with this inspector as its object.
    void postNeedToUpdateContentView() const;
};

class KXGraphViewController : public QWidget {
    Q_OBJECT
public:
    explicit KXGraphViewController(QWidget* parent = nullptr);
    ~KXGraphViewController() override;

    // Shows the object (null: shows nothing and lets the hosted inspectors go of theirs). The hosted
    // inspector of the object's type is shown the object; the other hosted inspectors are shown null.
    void updateUIWithGraph(const std::shared_ptr<KXGraph>& graph);
    const std::shared_ptr<KXGraph>& graph() const { return m_graph; }
    // " Shape", " Image", ...: the object section's title for a graph type; a single space for others.
    static QString titleOfGraph(const KXGraph* graph);

    // The panel's layout: which sub-sections show and how high each section is.
    void updateContentView();
    bool isStyleExpanded() const;
    void setStyleExpanded(bool expanded);
    bool isObjectExpanded() const;
    void setObjectExpanded(bool expanded);
    // The panel's width and the height of both sections together.
    QSize sizeHint() const override;

    // Hosts the inspector of the objects of one type in the object section: calendars, photos or texts (the
    // types that have an object section; false, and the inspector is dropped, for any other). The host owns
    // the inspector and places its view; one installed earlier for the type is replaced. Expanded, the
    // section is the inspector view's height plus 27 points: the view sits under the 32-point header.
    bool installObjectInspector(std::int32_t graphType, std::unique_ptr<KXObjectInspector> inspector);
    // The hosted inspector of a type; null when none is installed.
    KXObjectInspector* objectInspector(std::int32_t graphType) const;

    KXFillSection* fillView() const { return m_fillView; }
    QWidget* strokeView() const { return m_strokeView; }
    QWidget* shadowView() const { return m_shadowView; }
    QWidget* opacityView() const { return m_opacityView; }
    QWidget* strokeSettingView() const { return m_strokeSettingView; }
    QWidget* shadowSettingView() const { return m_shadowSettingView; }
    QWidget* objectView() const { return m_objectView; }
    QToolButton* btObject() const { return m_btObject; }
    QComboBox* pubStrokeStyle() const { return m_pubStrokeStyle; }
    QComboBox* pubShadow() const { return m_pubShadow; }
    kx::controls::KXColorWell* cwStrokeColor() const { return m_cwStrokeColor; }
    kx::controls::KXColorWell* cwShadowColor() const { return m_cwShadowColor; }
    const ValueRow& lineWidth() const { return m_lineWidth; }
    const ValueRow& shadowAngle() const { return m_shadowAngle; }
    const ValueRow& shadowBlur() const { return m_shadowBlur; }
    const ValueRow& shadowOffset() const { return m_shadowOffset; }
    const ValueRow& shadowAlpha() const { return m_shadowAlpha; }
    const ValueRow& opacity() const { return m_opacity; }

protected:
    // The panel is laid out again when the window it is in, or the scroll area showing it, changes size.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildStyleSection();
    QWidget* buildStrokeView();
    QWidget* buildShadowView();
    QWidget* buildOpacityView();
    ValueRow makeRow(QWidget* parent, int y, const QString& label, int minimum, int maximum,
                     void (KXGraphViewController::*action)(double));
    void connectRow(const ValueRow& row, void (KXGraphViewController::*action)(double), bool decimalField);

    void updateStyleUI();
    void updateStrokeView();
    void updateShadowView();

    void strokeTypeChanged(int index);
    void strokeLineChanged(double value);
    void shadowTypeChanged(int index);
    void shadowAngleChanged(double value);
    void shadowBlurChanged(double value);
    void shadowOffsetChanged(double value);
    void shadowAlphaChanged(double value);
    void opacityChanged(double value);
    void strokeColorChanged(const QColor& color);
    void shadowColorChanged(const QColor& color);
    void lineWidthTyped(const QString& text);
    void lineWidthEditingEnded();
    void typedValue(const ValueRow& row, const QString& text, int minimum, int maximum,
                    void (KXGraphViewController::*action)(double));
    void valueEntered();

    std::shared_ptr<KXGraph> m_graph;
    bool m_updatingUI = false;
    std::int32_t m_shownType = -1;
    int m_contentHeight = 0;
    std::map<std::int32_t, std::unique_ptr<KXObjectInspector>> m_objectInspectors;
    std::vector<kx::NotificationToken> m_observers;
    QPointer<QWidget> m_observedWindow;
    QPointer<QWidget> m_observedViewport;

    QToolButton* m_btStyle = nullptr;
    QWidget* m_styleView = nullptr;
    KXFillSection* m_fillView = nullptr;
    QWidget* m_strokeView = nullptr;
    QWidget* m_shadowView = nullptr;
    QWidget* m_opacityView = nullptr;
    QWidget* m_strokeSettingView = nullptr;
    QWidget* m_shadowSettingView = nullptr;
    QToolButton* m_btObject = nullptr;
    QWidget* m_objectView = nullptr;
    QComboBox* m_pubStrokeStyle = nullptr;
    QComboBox* m_pubShadow = nullptr;
    kx::controls::KXColorWell* m_cwStrokeColor = nullptr;
    kx::controls::KXColorWell* m_cwShadowColor = nullptr;
    ValueRow m_lineWidth, m_shadowAngle, m_shadowBlur, m_shadowOffset, m_shadowAlpha, m_opacity;
};
