// The fill section of the style inspector: no fill, a solid colour, a two-colour gradient at an angle, a
// multi-stop gradient (linear at an angle, or radial), the person's own image (tiled, stretched or stretched
// and cropped) or one of the shipped pattern images. Each control writes straight into the object's fill,
// so every edit is an undo step; filling the controls from an object never writes it.
#pragma once

#include "inspectors/value_row.h"
#include "model/graph.h"
#include "platform/gfx/color.h"

#include <QStringList>
#include <QWidget>

#include <memory>
#include <vector>

class QButtonGroup;
class QComboBox;
class QLabel;
class QPushButton;

namespace kx {
class ImageBrowserView;
}
namespace kx::controls {
class KXAdGradientView;
class KXPopupWindow;
class KXColorWell;
class KXSegmentedControl;
}  // namespace kx::controls

// The name filter of the own-image dialog: every format the image loaders read, SVG and AI included.
QString fillImageNameFilter();
// The pattern images shipped in the resources' "Pattern" folder, sorted.
QStringList patternImagePaths();

// The floating chooser of the pattern images: an image browser of the patterns in a popup window owned by
// a widget. The browser always keeps one item selected, and nothing is dragged out of it.
struct PatternChooser {
    kx::controls::KXPopupWindow* window = nullptr;
    kx::ImageBrowserView* browser = nullptr;
    // Selects the pattern whose path is `path` (the first when none is) and scrolls it into view.
    void select(const QStringList& patterns, const QString& path) const;
};
PatternChooser makePatternChooser(QWidget* owner, const QStringList& patterns, double zoom);

// The stops of a multi-stop gradient editor as a fill keeps them: sRGB colours and eight locations.
struct GradientStops {
    std::vector<kx::Color> colors;
    std::vector<double> locations;
};
GradientStops gradientStopsOf(const kx::controls::KXAdGradientView& editor);

class KXFillSection : public QWidget {
    Q_OBJECT
public:
    explicit KXFillSection(QWidget* parent = nullptr);
    ~KXFillSection() override;

    void updateFillUIWithGraph(const std::shared_ptr<KXGraph>& graph);

    QComboBox* pubFillType() const { return m_pubFillType; }
    QWidget* colorFillView() const { return m_colorFillView; }
    QWidget* adGradientView() const { return m_adGradientView; }
    QWidget* imageFillView() const { return m_imageFillView; }
    QWidget* patternView() const { return m_patternView; }
    kx::controls::KXColorWell* cwFillColor1() const { return m_cwFillColor1; }
    kx::controls::KXColorWell* cwFillColor2() const { return m_cwFillColor2; }
    QPushButton* btColorSwap() const { return m_btColorSwap; }
    const ValueRow& angle() const { return m_angle; }
    const ValueRow& angleGradient() const { return m_angleGradient; }
    kx::controls::KXAdGradientView* adGradientColorWell() const { return m_adGradient; }
    kx::controls::KXSegmentedControl* segGradient() const { return m_segGradient; }
    QButtonGroup* matrixFillStyle() const { return m_matrixFillStyle; }

    void fillTypeChanged(int index);
    void swapColorAction();
    void gradientTypeChanged(int segment);
    void customImageFillTypeChanged(int row);
    // Takes a file as the fill's own image (what the file dialog does with the chosen file).
    void chooseCustomFillImage(const QString& path);
    void selectCustomFillImageAction();
    // Opens the pattern window under the pattern button (its browser is made on first use).
    void patternAction();
    // The person picked pattern `item` of patternImagePaths() in the browser.
    void patternSelected(int item);
    QPushButton* btPattern() const { return m_btPattern; }
    kx::controls::KXPopupWindow* patternWindow() const { return m_patternWindow; }

signals:
    // The section's height changed; the inspector lays its panel out again.
    void heightChanged();

private:
    QWidget* buildColorPanel();
    QWidget* buildAdGradientPanel();
    QWidget* buildImagePanel();
    QWidget* buildPatternPanel();
    void connectAngleRow(const ValueRow& row);
    void updateFillView();
    void gradientAngleFromSlider(int value);
    void gradientAngleFromStepper(double value);
    void gradientAngleTyped(const QString& text);
    void setAngle(int angle, int sliderValue);
    void fillColorChanged(int which, const QColor& color);
    void updateGradientGraphBackground();
    void updateImageViewWithPath(const QString& path);
    void selectImageBackgroundWithPath(const QString& path);
    KXBackground* fill() const;

    std::shared_ptr<KXGraph> m_graph;
    bool m_updatingUI = false;
    QStringList m_patterns;

    QComboBox* m_pubFillType = nullptr;
    QWidget* m_colorFillView = nullptr;
    QWidget* m_adGradientView = nullptr;
    QWidget* m_imageFillView = nullptr;
    QWidget* m_patternView = nullptr;
    kx::controls::KXColorWell* m_cwFillColor1 = nullptr;
    kx::controls::KXColorWell* m_cwFillColor2 = nullptr;
    QPushButton* m_btColorSwap = nullptr;
    ValueRow m_angle;
    ValueRow m_angleGradient;
    kx::controls::KXAdGradientView* m_adGradient = nullptr;
    kx::controls::KXSegmentedControl* m_segGradient = nullptr;
    QLabel* m_ivFillImage = nullptr;
    QPushButton* m_btFillImageSelect = nullptr;
    QButtonGroup* m_matrixFillStyle = nullptr;
    QPushButton* m_btPattern = nullptr;
    kx::controls::KXPopupWindow* m_patternWindow = nullptr;
    kx::ImageBrowserView* m_ibvPatternImageView = nullptr;
};
