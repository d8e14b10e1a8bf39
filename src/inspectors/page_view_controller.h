// The page setup tab of the settings panel ("PageView"): the size, the clip-to-margin flag and the four
// margins of the page the window shows, as last written back by the window. Its controls come with the
// page setup editor; until then it keeps the values it is given and shows an empty view.
#pragma once

#include "inspectors/view_controller.h"

#include <memory>

class KXSize;

class KXPageViewController : public KXViewController {
    Q_OBJECT
public:
    KXPageViewController();
    ~KXPageViewController() override;

    // Keeps a copy of the size, unless it equals the kept one (same pixel size within a pixel, orientation
    // counted). Null is ignored.
    void setPageSize(const KXSize* size);
    const KXSize* pageSize() const { return m_pageSize.get(); }
    void setClipMargin(bool clip) { m_clipMargin = clip; }
    bool clipMargin() const { return m_clipMargin; }
    // The four margins in page pixels, measured from the page's edges.
    void setMarginTop(double top, double bottom, double left, double right);
    double marginTop() const { return m_top; }
    double marginBottom() const { return m_bottom; }
    double marginLeft() const { return m_left; }
    double marginRight() const { return m_right; }

protected:
    QWidget* loadView() override;

private:
    std::shared_ptr<KXSize> m_pageSize;
    bool m_clipMargin = false;
    double m_top = 0;
    double m_bottom = 0;
    double m_left = 0;
    double m_right = 0;
};
