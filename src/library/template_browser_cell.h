// The state and geometry of one cell of the template browser: the favourite star, the delete badge of the
// user's own templates and the page arrows of templates with several pages.
//
// Areas are given in the cell's own coordinates with y growing upwards from the cell's bottom edge (star in
// the bottom-right corner, delete badge in the top-right one, arrows side by side around the centre line,
// a seventh of the height above the bottom); `areaInCell` turns one into a widget rectangle (y down).
#pragma once

#include <QRectF>
#include <QSizeF>
#include <QString>

class KXTemplateItem;

class KXTemplateBrowserCell {
public:
    enum Area { DeleteBadge = 1, FavoriteStar, PreviousArrow, NextArrow };

    // The state a new cell takes from its item and the favourites.
    static KXTemplateBrowserCell forItem(const KXTemplateItem& item, bool isFavorite);

    bool isFavorite = false;
    bool isCustom = false;
    bool isDown = false;
    bool isMulPage = false;
    bool isCanForword = false;
    bool isCanBack = false;
    bool isForwordDown = false;
    bool isBackDown = false;

    // An area in y-up cell coordinates, as laid down for a cell of the given size.
    static QRectF areaRect(Area area, const QSizeF& cell);
    // The same area in widget coordinates (y down) inside a cell of the given size.
    static QRectF areaInCell(Area area, const QSizeF& cell);

    // Hit tests with a point in the cell's own widget coordinates (y down).
    bool containsPoint(const QPointF& point, const QSizeF& cell) const;
    bool contaninsPointWithFavorite(const QPointF& point, const QSizeF& cell) const;
    bool contaninsPointWithForward(const QPointF& point, const QSizeF& cell) const;
    bool contaninsPointWithBack(const QPointF& point, const QSizeF& cell) const;

    // The picture shown in an area in this state; empty where nothing is drawn. The star shows only on a
    // selected cell, though its area answers clicks on every cell.
    QString imageName(Area area, bool selected) const;
};
