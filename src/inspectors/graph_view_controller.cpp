#include "inspectors/graph_view_controller.h"

#include "controls/color_well.h"
#include "controls/control_images.h"
#include "controls/stepper.h"
#include "controls/stepper_field.h"
#include "inspectors/inspector_support.h"
#include "inspectors/style_values.h"
#include "model/shadow.h"
#include "model/stroke.h"
#include "platform/foundation/bundle.h"

#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QSlider>
#include <QToolButton>

using namespace kx::inspectors;
using kx::controls::KXColorWell;
using kx::controls::KXStepper;

namespace {
constexpr int kHeaderHeight = 32;
constexpr int kRowHeight = kValueRowHeight;
constexpr int kPanelWidth = kSectionWidth;
// An expanded object section is its hosted view's height plus this: the view starts under the header and
// reaches 5 points past the section's bottom edge.
constexpr int kObjectSectionExtra = kHeaderHeight - 5;

bool hasObjectSection(std::int32_t type) {
    return type == KXGraphTypeCalendar || type == KXGraphTypePhoto || type == KXGraphTypeText;
}

}  // namespace

void KXObjectInspector::postNeedToUpdateContentView() const {
    kx::NotificationCenter::defaultCenter().post(KXNeedToUpdateContentView, static_cast<const KXObjectInspector*>(this));
}

KXGraphViewController::KXGraphViewController(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("GraphView"));
    buildStyleSection();
    m_objectView = new QWidget(this);
    m_objectView->setObjectName(QStringLiteral("objectView"));
    m_btObject = new QToolButton(m_objectView);
    m_btObject->setObjectName(QStringLiteral("btObject"));
    m_btObject->setCheckable(true);
    m_btObject->setChecked(true);
    m_btObject->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_btObject->setGeometry(4, 4, kPanelWidth - 8, kHeaderHeight - 8);
    connect(m_btObject, &QToolButton::toggled, this, [this] { updateContentView(); });
    // A hosted inspector whose view changed height has the panel laid out again.
    m_observers.push_back(kx::NotificationCenter::defaultCenter().addObserver(
        KXNeedToUpdateContentView, nullptr, [this](const kx::Notification& notification) {
            for (const auto& [type, inspector] : m_objectInspectors) {
                if (notification.sender == static_cast<const void*>(inspector.get())) {
                    updateContentView();
                    return;
                }
            }
        }));
    updateContentView();
}

KXGraphViewController::~KXGraphViewController() {
    m_observers.clear();
    // The hosted inspectors delete their views while the object section still exists.
    m_objectInspectors.clear();
}

bool KXGraphViewController::installObjectInspector(std::int32_t graphType,
                                                   std::unique_ptr<KXObjectInspector> inspector) {
    if (!inspector || !hasObjectSection(graphType))
        return false;
    if (QWidget* view = inspector->view()) {
        view->setParent(m_objectView);
        view->hide();
    }
    m_objectInspectors[graphType] = std::move(inspector);
    if (m_graph)
        m_objectInspectors[graphType]->updateUIWithGraph(m_graph->graphType() == graphType ? m_graph : nullptr);
    updateContentView();
    return true;
}

KXObjectInspector* KXGraphViewController::objectInspector(std::int32_t graphType) const {
    const auto found = m_objectInspectors.find(graphType);
    return found == m_objectInspectors.end() ? nullptr : found->second.get();
}

void KXGraphViewController::buildStyleSection() {
    m_styleView = new QWidget(this);
    m_styleView->setObjectName(QStringLiteral("styleView"));
    m_btStyle = new QToolButton(m_styleView);
    m_btStyle->setObjectName(QStringLiteral("btStyle"));
    m_btStyle->setCheckable(true);
    m_btStyle->setChecked(true);
    m_btStyle->setText(localized("Style"));
    m_btStyle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_btStyle->setArrowType(Qt::DownArrow);
    m_btStyle->setGeometry(4, 4, kPanelWidth - 8, kHeaderHeight - 8);
    connect(m_btStyle, &QToolButton::toggled, this, [this](bool on) {
        m_btStyle->setArrowType(on ? Qt::DownArrow : Qt::RightArrow);
        updateContentView();
    });
    m_fillView = new KXFillSection(m_styleView);
    connect(m_fillView, &KXFillSection::heightChanged, this, &KXGraphViewController::updateContentView);
    m_strokeView = buildStrokeView();
    m_shadowView = buildShadowView();
    m_opacityView = buildOpacityView();
}

ValueRow KXGraphViewController::makeRow(QWidget* parent, int y, const QString& label, int minimum, int maximum,
                                        void (KXGraphViewController::*action)(double)) {
    const ValueRow row = makeValueRow(parent, y, label, minimum, maximum);
    connect(row.slider, &QSlider::valueChanged, this, [this, action](int value) {
        if (!m_updatingUI)
            (this->*action)(value);
    });
    connect(row.stepper, &KXStepper::activated, this, [this, action, stepper = row.stepper] {
        if (!m_updatingUI)
            (this->*action)(stepper->value());
    });
    return row;
}

QWidget* KXGraphViewController::buildStrokeView() {
    auto* view = new QWidget(m_styleView);
    view->setObjectName(QStringLiteral("strokeView"));
    m_pubStrokeStyle = new QComboBox(view);
    m_pubStrokeStyle->setObjectName(QStringLiteral("pubStrokeStyle"));
    m_pubStrokeStyle->addItem(localized("No Stroke"));
    for (int i = 1; i <= 4; ++i)
        m_pubStrokeStyle->addItem(QIcon(kx::controls::controlImage(QStringLiteral("Stroke%1").arg(i))), QString());
    // The line styles' pictures are wide and low.
    m_pubStrokeStyle->setIconSize(QSize(60, 9));
    m_pubStrokeStyle->setGeometry(8, 8, kPanelWidth - 16, 26);
    connect(m_pubStrokeStyle, &QComboBox::activated, this, &KXGraphViewController::strokeTypeChanged);

    m_strokeSettingView = new QWidget(view);
    m_strokeSettingView->setObjectName(QStringLiteral("strokeSettingView"));
    m_strokeSettingView->resize(kPanelWidth, 2 * kRowHeight + 4);
    m_cwStrokeColor = new KXColorWell(m_strokeSettingView);
    m_cwStrokeColor->setGeometry(kValueRowControlX, 2, 60, 20);
    connect(m_cwStrokeColor, &KXColorWell::colorChanged, this, &KXGraphViewController::strokeColorChanged);
    m_lineWidth = makeRow(m_strokeSettingView, kRowHeight + 2, localized("Width"), 1, 100,
                          &KXGraphViewController::strokeLineChanged);
    connect(m_lineWidth.field, &QLineEdit::textEdited, this, &KXGraphViewController::lineWidthTyped);
    connect(m_lineWidth.field, &QLineEdit::editingFinished, this, &KXGraphViewController::lineWidthEditingEnded);
    return view;
}

QWidget* KXGraphViewController::buildShadowView() {
    auto* view = new QWidget(m_styleView);
    view->setObjectName(QStringLiteral("shadowView"));
    m_pubShadow = new QComboBox(view);
    m_pubShadow->setObjectName(QStringLiteral("pubShadow"));
    m_pubShadow->addItems({localized("No Shadow"), localized("Drop Shadow")});
    m_pubShadow->setGeometry(8, 8, kPanelWidth - 16, 26);
    connect(m_pubShadow, &QComboBox::activated, this, &KXGraphViewController::shadowTypeChanged);

    m_shadowSettingView = new QWidget(view);
    m_shadowSettingView->setObjectName(QStringLiteral("shadowSettingView"));
    m_shadowSettingView->resize(kPanelWidth, 5 * kRowHeight + 4);
    m_cwShadowColor = new KXColorWell(m_shadowSettingView);
    m_cwShadowColor->setGeometry(kValueRowControlX, 2, 60, 20);
    connect(m_cwShadowColor, &KXColorWell::colorChanged, this, &KXGraphViewController::shadowColorChanged);
    struct RowSetup {
        ValueRow* row;
        const char* label;
        int maximum;
        void (KXGraphViewController::*action)(double);
    };
    const RowSetup rows[] = {
        {&m_shadowAngle, "Angle", 360, &KXGraphViewController::shadowAngleChanged},
        {&m_shadowBlur, "Blur", 100, &KXGraphViewController::shadowBlurChanged},
        {&m_shadowOffset, "Distance", 100, &KXGraphViewController::shadowOffsetChanged},
        {&m_shadowAlpha, "Opacity", 100, &KXGraphViewController::shadowAlphaChanged},
    };
    int y = kRowHeight + 2;
    for (const RowSetup& setup : rows) {
        *setup.row = makeRow(m_shadowSettingView, y, localized(setup.label), 0, setup.maximum, setup.action);
        connect(setup.row->field, &QLineEdit::textEdited, this,
                [this, row = setup.row, maximum = setup.maximum, action = setup.action](const QString& text) {
                    typedValue(*row, text, 0, maximum, action);
                });
        y += kRowHeight;
    }
    return view;
}

QWidget* KXGraphViewController::buildOpacityView() {
    auto* view = new QWidget(m_styleView);
    view->setObjectName(QStringLiteral("opacityView"));
    view->resize(kPanelWidth, kSectionOffHeight);
    m_opacity = makeRow(view, 10, localized("Opacity"), 0, 100, &KXGraphViewController::opacityChanged);
    connect(m_opacity.field, &QLineEdit::textEdited, this, [this](const QString& text) {
        typedValue(m_opacity, text, 0, 100, &KXGraphViewController::opacityChanged);
    });
    return view;
}

QString KXGraphViewController::titleOfGraph(const KXGraph* graph) {
    const char* name = nullptr;
    switch (graph ? graph->graphType() : 0) {
    case KXGraphTypeShape: name = "Shape"; break;
    case KXGraphTypeCalendar: name = "Calendar"; break;
    case KXGraphTypePhoto: name = "Image"; break;
    case KXGraphTypeText: name = "Text"; break;
    case KXGraphTypeLine: name = "Line"; break;
    default: return QStringLiteral(" ");
    }
    return QStringLiteral(" %1").arg(localized(name));
}

bool KXGraphViewController::isStyleExpanded() const {
    return m_btStyle->isChecked();
}

void KXGraphViewController::setStyleExpanded(bool expanded) {
    m_btStyle->setChecked(expanded);
}

bool KXGraphViewController::isObjectExpanded() const {
    return m_btObject->isChecked();
}

void KXGraphViewController::setObjectExpanded(bool expanded) {
    m_btObject->setChecked(expanded);
}

void KXGraphViewController::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The window it is shown in, and the scroll area's viewport, which also changes size when the scroll
    // area's bars come and go.
    QScrollArea* scroll = parentWidget() ? qobject_cast<QScrollArea*>(parentWidget()->parentWidget()) : nullptr;
    const QPointer<QWidget> watched[] = {window() == this ? nullptr : window(), scroll ? scroll->viewport() : nullptr};
    for (int i = 0; i < 2; ++i) {
        QPointer<QWidget>& observed = i == 0 ? m_observedWindow : m_observedViewport;
        if (observed == watched[i])
            continue;
        if (observed)
            observed->removeEventFilter(this);
        observed = watched[i];
        if (observed)
            observed->installEventFilter(this);
    }
    updateContentView();
}

bool KXGraphViewController::eventFilter(QObject* watched, QEvent* event) {
    // The window's layout sizes the scroll area after this filter has seen the window's new size: the
    // panel is laid out once that has happened.
    if (event->type() == QEvent::Resize && watched && (watched == m_observedWindow || watched == m_observedViewport))
        QMetaObject::invokeMethod(this, &KXGraphViewController::updateContentView, Qt::QueuedConnection);
    return QWidget::eventFilter(watched, event);
}

QSize KXGraphViewController::sizeHint() const {
    return {kPanelWidth, m_contentHeight};
}

void KXGraphViewController::updateUIWithGraph(const std::shared_ptr<KXGraph>& graph) {
    const std::int32_t previous = m_shownType;
    m_graph = graph;
    if (!graph) {
        for (const auto& [type, inspector] : m_objectInspectors)
            inspector->updateUIWithGraph(nullptr);
        return;
    }
    updateStyleUI();
    m_shownType = graph->graphType();
    for (const auto& [type, inspector] : m_objectInspectors)
        inspector->updateUIWithGraph(type == m_shownType ? graph : nullptr);
    if (m_shownType != previous)
        updateContentView();
}

void KXGraphViewController::updateStyleUI() {
    m_updatingUI = true;
    KXGraph* g = m_graph.get();
    m_fillView->updateFillUIWithGraph(m_graph);
    if (g->graphType() != KXGraphTypePhoto) {
        m_pubStrokeStyle->setCurrentIndex(strokeMenuIndex(g->isStrokeEnabled(), g->stroke()->style()));
        m_cwStrokeColor->setColor(g->stroke()->color().toQColor());
        m_lineWidth.show(strokeWidthControl(g->stroke()->width()));
        updateStrokeView();
    }
    m_pubShadow->setCurrentIndex(g->isShadowEnabled() ? 1 : 0);
    m_cwShadowColor->setColor(g->shadow()->color().toQColor());
    m_shadowAngle.show(shadowAngleControl(g->shadow()->angle()));
    m_shadowBlur.show(g->shadow()->blur());
    m_shadowOffset.show(g->shadow()->offset());
    m_shadowAlpha.show(shadowAlphaControl(g->shadow()->color().alpha()));
    updateShadowView();
    m_opacity.show(opacityControl(g->opacity()));
    m_updatingUI = false;
}

// A stroke or shadow section: its menu alone while the feature is off; with it on, its settings view too,
// at the section's bottom.
static void sizeFeatureSection(QWidget* section, QWidget* settings, bool on) {
    settings->setVisible(on);
    const int height = on ? settings->height() + kSectionMenuExtra : kSectionOffHeight;
    section->resize(kPanelWidth, height);
    settings->move(0, height - settings->height());
}

void KXGraphViewController::updateStrokeView() {
    sizeFeatureSection(m_strokeView, m_strokeSettingView, m_pubStrokeStyle->currentIndex() > 0);
    updateContentView();
}

void KXGraphViewController::updateShadowView() {
    sizeFeatureSection(m_shadowView, m_shadowSettingView, m_pubShadow->currentIndex() > 0);
    updateContentView();
}

void KXGraphViewController::updateContentView() {
    const std::int32_t type = m_graph ? m_graph->graphType() : KXGraphTypeShape;
    if (type == KXGraphTypeGroup)
        return;
    int y = kHeaderHeight;
    const bool expanded = m_btStyle->isChecked();
    const struct {
        QWidget* view;
        bool used;
    } sections[] = {
        {m_fillView, type != KXGraphTypePhoto && type != KXGraphTypeLine},
        {m_strokeView, type != KXGraphTypePhoto},
        {m_shadowView, type != KXGraphTypeCalendar},
        {m_opacityView, true},
    };
    for (const auto& section : sections) {
        const bool shown = expanded && section.used;
        section.view->setVisible(shown);
        if (shown) {
            section.view->move(0, y);
            y += section.view->height();
        }
    }
    m_styleView->setGeometry(0, 0, kPanelWidth, y);

    // The object section: its header, and under it the hosted inspector of the object's type alone.
    const bool hostsObject = hasObjectSection(type);
    KXObjectInspector* current = hostsObject && m_btObject->isChecked() ? objectInspector(type) : nullptr;
    QWidget* currentView = current ? current->view() : nullptr;
    for (const auto& [hostedType, inspector] : m_objectInspectors) {
        if (QWidget* view = inspector->isViewLoaded() ? inspector->view() : nullptr; view && view != currentView)
            view->hide();
    }
    int objectHeight = 0;
    if (hostsObject) {
        m_btObject->setText(titleOfGraph(m_graph.get()));
        m_btObject->setArrowType(m_btObject->isChecked() ? Qt::DownArrow : Qt::RightArrow);
        objectHeight = kHeaderHeight;
        if (currentView) {
            currentView->setGeometry(0, kHeaderHeight, kPanelWidth, currentView->height());
            currentView->show();
            objectHeight = currentView->height() + kObjectSectionExtra;
        }
        m_objectView->setGeometry(0, y, kPanelWidth, objectHeight);
    }
    m_objectView->setVisible(hostsObject);

    // The panel is at least as high as the scroll area showing it, so that its sections stay at the top.
    m_contentHeight = y + objectHeight;
    int height = m_contentHeight;
    if (auto* scroll = parentWidget() ? qobject_cast<QScrollArea*>(parentWidget()->parentWidget()) : nullptr)
        height = std::max(height, scroll->viewport()->height());
    setMinimumSize(kPanelWidth, m_contentHeight);
    resize(kPanelWidth, height);
    updateGeometry();
}

void KXGraphViewController::strokeTypeChanged(int index) {
    if (m_updatingUI || !m_graph)
        return;
    if (index > 0)
        m_graph->stroke()->setStyle(unsigned(index - 1));
    m_graph->setStrokeEnabled(index > 0);
    updateStrokeView();
    m_graph->setNeedsDisplay();
}

void KXGraphViewController::strokeLineChanged(double value) {
    if (!m_graph)
        return;
    m_lineWidth.show(value);
    m_graph->stroke()->setWidth(strokeWidthFromControl(value));
}

void KXGraphViewController::shadowTypeChanged(int index) {
    if (m_updatingUI || !m_graph)
        return;
    m_graph->setShadowEnabled(index != 0);
    updateShadowView();
    m_graph->setNeedsDisplay();
}

void KXGraphViewController::shadowAngleChanged(double value) {
    if (!m_graph)
        return;
    const int control = wrappedShadowAngleControl(int(value));
    m_shadowAngle.show(control);
    m_graph->shadow()->setAngle(shadowAngleFromControl(control));
}

void KXGraphViewController::shadowBlurChanged(double value) {
    if (!m_graph)
        return;
    m_shadowBlur.show(value);
    m_graph->shadow()->setBlur(int(value));
}

void KXGraphViewController::shadowOffsetChanged(double value) {
    if (!m_graph)
        return;
    m_shadowOffset.show(value);
    m_graph->shadow()->setOffset(int(value));
}

void KXGraphViewController::shadowAlphaChanged(double value) {
    if (!m_graph)
        return;
    m_updatingUI = true;
    m_shadowAlpha.show(value);
    QColor color = m_cwShadowColor->color();
    color.setAlphaF(float(value / 100));
    m_cwShadowColor->setColor(color);
    m_updatingUI = false;
    const kx::Color current = m_graph->shadow()->color();
    m_graph->shadow()->setColor(
        kx::Color::srgb(current.red(), current.green(), current.blue(), int(value) / 100.0));
}

void KXGraphViewController::opacityChanged(double value) {
    if (!m_graph)
        return;
    m_opacity.show(value);
    m_graph->setOpacity(opacityFromControl(value));
    m_graph->setNeedsDisplay();
}

void KXGraphViewController::strokeColorChanged(const QColor& color) {
    if (m_updatingUI || !m_graph)
        return;
    m_graph->stroke()->setColor(srgbColor(color));
    valueEntered();
}

void KXGraphViewController::shadowColorChanged(const QColor& color) {
    if (m_updatingUI || !m_graph)
        return;
    m_graph->shadow()->setColor(srgbColor(color));
    m_shadowAlpha.show(shadowAlphaControlTruncated(color.alphaF()));
    valueEntered();
}

void KXGraphViewController::lineWidthTyped(const QString& text) {
    if (m_updatingUI || !m_graph)
        return;
    const auto typed = kx::controls::leadingNumber(text, true);
    const auto value = typed ? typedStrokeWidthControl(*typed) : std::nullopt;
    if (!value)
        return;
    if (*typed > 100)
        quietly(m_lineWidth.field, [](QLineEdit* f) { f->setText(QStringLiteral("100")); });
    quietly(m_lineWidth.slider, [&](QSlider* s) { s->setValue(int(std::lround(*value))); });
    quietly(m_lineWidth.stepper, [&](KXStepper* s) { s->setValue(*value); });
    m_graph->stroke()->setWidth(strokeWidthFromControl(*value));
    valueEntered();
}

void KXGraphViewController::lineWidthEditingEnded() {
    const auto typed = kx::controls::leadingNumber(m_lineWidth.field->text(), true);
    const double value = std::clamp(typed.value_or(m_lineWidth.stepper->value()), 1.0, 100.0);
    quietly(m_lineWidth.field, [&](QLineEdit* f) { f->setText(QString::number(value, 'f', 0)); });
}

void KXGraphViewController::typedValue(const ValueRow& row, const QString& text, int minimum, int maximum,
                                       void (KXGraphViewController::*action)(double)) {
    if (m_updatingUI || !m_graph)
        return;
    const auto typed = kx::controls::leadingNumber(text, false);
    if (!typed)
        return;
    const int value = clampedControlValue(int(*typed), minimum, maximum);
    quietly(row.slider, [&](QSlider* s) { s->setValue(value); });
    (this->*action)(row.slider->value());
    valueEntered();
}

void KXGraphViewController::valueEntered() {
    if (!m_graph)
        return;
    m_graph->setNeedsDisplay();
    kx::NotificationCenter::defaultCenter().post(KXExitObjectMode, this);
}
