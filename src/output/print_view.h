// The print view: every page of the project, one page on each printed sheet, either centred at the chosen
// scale or tiled over the whole sheet. It is a plain renderer, not a widget, so it can be built on a worker
// thread; it draws on the main thread, into the print dialog's printer or Qt's print preview.
//
// The pages it holds are output copies (KXCanvas::outputCopy), never the pages being shown and edited. The
// scale, the page size in points and the tile choice come from the options tab (the print data).
//
// Geometry is in points of the sheet's printable area with the origin at its bottom-left corner and y up:
// the view's bounds are that area; a sheet rectangle of the page size times the scale sits at the origin,
// centred when the area is larger, and tiles are laid from the origin on.
#pragma once

#include "platform/foundation/geometry.h"

#include <memory>
#include <vector>

class KXCanvas;
class KXPrintViewController;
class QPainter;
class QPrinter;

// Where the drawing goes: the print preview gets the page at its size in points; the printer gets it at the
// page's own pixels times the scale, so that a high-resolution page keeps its detail on paper.
enum class KXPrintTarget { Preview, Printer };

class KXPrintView {
public:
    explicit KXPrintView(const kx::Rect& frame);

    void addCanvas(std::shared_ptr<KXCanvas> canvas);
    const std::vector<std::shared_ptr<KXCanvas>>& canvases() const { return m_canvases; }
    int maxPage() const { return m_maxPage; }
    void setMaxPage(int maxPage) { m_maxPage = maxPage; }
    int currentPage() const { return m_currentPage; }
    // The options tab the view reads while drawing; not owned.
    void setPrintData(KXPrintViewController* data) { m_printData = data; }
    KXPrintViewController* printData() const { return m_printData; }

    kx::Rect frame() const { return m_frame; }
    kx::Rect bounds() const { return {{0, 0}, m_frame.size}; }

    // The sheets, 1 to maxPage; first sizes the view to the printable area of the print data's print
    // information (nothing without one).
    bool knowsPageRange(int* first, int* last);
    // Makes the sheet current and answers the rectangle to draw: the view's bounds.
    kx::Rect rectForPage(int page);

    // The sheet rectangle of the current page: the page size times the scale at the origin, centred on
    // the view where the view is larger.
    kx::Rect sheetRect() const;
    // The bitmap the page is rendered into for the target: the sheet rectangle's size for the preview; the
    // page's pixels times the scale for the printer, but never finer than the printer's resolution
    // (`deviceDpi`) over the sheet rectangle nor beyond a bitmap's largest size.
    kx::Size bitmapSize(const KXCanvas& page, KXPrintTarget target, double deviceDpi) const;

    // Draws the current sheet with the painter's user space in points of the printable area, origin at its
    // top-left corner (Qt's y-down space; the view's y-up rectangles are turned into it). Nothing for a sheet
    // beyond the pages.
    void drawRect(QPainter& painter, KXPrintTarget target, double deviceDpi);

    // Prints the printer's page range (every sheet when it has none), limited to the pages, one sheet per
    // page. False when there was nothing to print or the printer could not start.
    bool print(QPrinter& printer, KXPrintTarget target);

private:
    std::vector<std::shared_ptr<KXCanvas>> m_canvases;
    kx::Rect m_frame;
    int m_maxPage = 1;
    int m_currentPage = 1;
    KXPrintViewController* m_printData = nullptr;
};
