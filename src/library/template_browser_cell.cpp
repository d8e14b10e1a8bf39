#include "library/template_browser_cell.h"

#include "library/template_item.h"

KXTemplateBrowserCell KXTemplateBrowserCell::forItem(const KXTemplateItem& item, bool isFavorite) {
    KXTemplateBrowserCell cell;
    cell.isFavorite = isFavorite;
    cell.isCustom = item.isCustomTemplate();
    cell.isMulPage = item.isMultiplePage();
    cell.isCanForword = !item.isFristPage();
    cell.isCanBack = !item.isLastPage();
    return cell;
}

QRectF KXTemplateBrowserCell::areaRect(Area area, const QSizeF& cell) {
    const double w = cell.width();
    const double h = cell.height();
    switch (area) {
    case DeleteBadge:
        return {w - 20, h - 20, 20, 20};
    case FavoriteStar:
        return {w - 20, 0, 20, 20};
    case PreviousArrow:
        return {w / 2 - (w / 22 + 28), h / 7, 28, 28};
    case NextArrow:
        return {w / 2 + w / 22, h / 7, 28, 28};
    }
    return {};
}

QRectF KXTemplateBrowserCell::areaInCell(Area area, const QSizeF& cell) {
    const QRectF up = areaRect(area, cell);
    return {up.x(), cell.height() - up.y() - up.height(), up.width(), up.height()};
}

bool KXTemplateBrowserCell::containsPoint(const QPointF& point, const QSizeF& cell) const {
    return areaInCell(DeleteBadge, cell).contains(point);
}

bool KXTemplateBrowserCell::contaninsPointWithFavorite(const QPointF& point, const QSizeF& cell) const {
    return areaInCell(FavoriteStar, cell).contains(point);
}

bool KXTemplateBrowserCell::contaninsPointWithForward(const QPointF& point, const QSizeF& cell) const {
    // Arrows exist only on templates of several pages; elsewhere the place is part of the picture.
    return isMulPage && areaInCell(PreviousArrow, cell).contains(point);
}

bool KXTemplateBrowserCell::contaninsPointWithBack(const QPointF& point, const QSizeF& cell) const {
    return isMulPage && areaInCell(NextArrow, cell).contains(point);
}

QString KXTemplateBrowserCell::imageName(Area area, bool selected) const {
    switch (area) {
    case DeleteBadge:
        return isCustom ? (isDown ? QStringLiteral("DeleteTemplate_down") : QStringLiteral("DeleteTemplate")) : QString();
    case FavoriteStar:
        return selected ? (isFavorite ? QStringLiteral("Favorite_in") : QStringLiteral("Favorite_out")) : QString();
    case PreviousArrow:
        if (!isMulPage)
            return {};
        return isForwordDown ? QStringLiteral("PreTemplate_down")
                             : (isCanForword ? QStringLiteral("PreTemplate") : QStringLiteral("PreTemplate_disable"));
    case NextArrow:
        if (!isMulPage)
            return {};
        return isBackDown ? QStringLiteral("NextTemplate_down")
                          : (isCanBack ? QStringLiteral("NextTemplate") : QStringLiteral("NextTemplate_disable"));
    }
    return {};
}
