// The style inspector of one selected object: a collapsible style section with the object's fill, stroke,
// shadow and opacity (each control writes straight into the object; its page turns every write into an
// undo step), and an object section below it that hosts the inspector of the object's type.
//
// Filling the controls from an object (updateUIWithGraph) never writes the object: the controls' own
// reports are ignored while it runs.
#pragma once

#include "inspectors/fill_section.h"
#include "inspectors/value_row.h"
#include "model/graph.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QComboBox;
class QLineEdit;
class QSlider;
class QToolButton;

namespace kx::controls {
class KXColorWell;
class KXStepper;
}  // namespace kx::controls

class KXGraphViewController : public QWidget {
    Q_OBJECT
public:
    explicit KXGraphViewController(QWidget* parent = nullptr);
    ~KXGraphViewController() override;

    void updateUIWithGraph(const std::shared_ptr<KXGraph>& graph);
    const std::shared_ptr<KXGraph>& graph() const { return m_graph; }
    // " Shape", " Image", ...: the object section's title for a graph type; a single space for others.
    static QString titleOfGraph(const KXGraph* graph);

    // The panel's layout: which sub-sections show and how high each section is.
    void updateContentView();
    bool isStyleExpanded() const;
    void setStyleExpanded(bool expanded);

    KXFillSection* fillView() const { return m_fillView; }
    QWidget* strokeView() const { return m_strokeView; }
    QWidget* shadowView() const { return m_shadowView; }
    QWidget* opacityView() const { return m_opacityView; }
    QWidget* strokeSettingView() const { return m_strokeSettingView; }
    QWidget* shadowSettingView() const { return m_shadowSettingView; }
    QWidget* objectView() const { return m_objectView; }
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
