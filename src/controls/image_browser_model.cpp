#include "controls/image_browser_model.h"

#include <QMimeData>
#include <QUrl>

#include <algorithm>
#include <set>

namespace kx {

ImageBrowserModel::ImageBrowserModel(QObject* parent) : QAbstractListModel(parent) {
    connect(&m_queue, &ThumbnailQueue::thumbnailMade, this, &ImageBrowserModel::thumbnailArrived);
}

void ImageBrowserModel::setItems(std::vector<ImageBrowserItem> items, std::vector<ImageBrowserGroup> groups) {
    beginResetModel();
    m_items = std::move(items);
    m_groups = std::move(groups);
    m_itemOfUid.clear();
    for (int i = 0; i < int(m_items.size()); ++i)
        m_itemOfUid[m_items[i].uid] = i;
    // Thumbnails (and requests) of items that left, or changed version, are dropped: a late result is never
    // shown on another item.
    for (auto it = m_thumbnails.begin(); it != m_thumbnails.end();) {
        const auto item = m_itemOfUid.find(it->first);
        if (item == m_itemOfUid.end() || m_items[item->second].version != it->second.version)
            it = m_thumbnails.erase(it);
        else
            ++it;
    }
    m_queue.cancelAll();
    rebuildRows();
    endResetModel();
}

void ImageBrowserModel::setItem(int index, const ImageBrowserItem& item) {
    if (index < 0 || index >= itemCount())
        return;
    const ImageBrowserItem old = m_items[index];
    if (old.uid != item.uid) {
        m_itemOfUid.erase(old.uid);
        m_itemOfUid[item.uid] = index;
    }
    if (old.uid != item.uid || old.version != item.version) {
        m_thumbnails.erase(old.uid);
        m_queue.cancel(old.uid);
    }
    m_items[index] = item;
    const QModelIndex changed = this->index(m_rowOfItem[index]);
    emit dataChanged(changed, changed);
}

void ImageBrowserModel::rebuildRows() {
    m_rows.clear();
    m_rowOfItem.assign(m_items.size(), -1);
    int next = 0;
    auto addItemsUpTo = [&](int end) {
        for (; next < end && next < itemCount(); ++next) {
            m_rowOfItem[next] = int(m_rows.size());
            m_rows.push_back({next, -1});
        }
    };
    for (int g = 0; g < int(m_groups.size()); ++g) {
        const ImageBrowserGroup& group = m_groups[g];
        // Groups that overlap an earlier one or reach past the items are cut to what is left.
        const int first = std::clamp(group.first, next, itemCount());
        addItemsUpTo(first);
        m_rows.push_back({-1, g});
        addItemsUpTo(first + std::max(group.count, 0));
    }
    addItemsUpTo(itemCount());
}

int ImageBrowserModel::rowForItem(int index) const {
    return index >= 0 && index < int(m_rowOfItem.size()) ? m_rowOfItem[index] : -1;
}

int ImageBrowserModel::itemForRow(int row) const {
    return row >= 0 && row < int(m_rows.size()) ? m_rows[row].item : -1;
}

void ImageBrowserModel::setThumbnailSize(int pixels) {
    pixels = std::max(pixels, 8);
    if (pixels == m_thumbnailSize)
        return;
    m_thumbnailSize = pixels;
    // The thumbnails made so far stay on show (scaled) until the new ones arrive.
    m_queue.cancelAll();
}

void ImageBrowserModel::requestThumbnail(int index, bool urgent) {
    if (index < 0 || index >= itemCount())
        return;
    const ImageBrowserItem& item = m_items[index];
    const auto found = m_thumbnails.find(item.uid);
    if (found != m_thumbnails.end() && found->second.version == item.version &&
        found->second.size == m_thumbnailSize)
        return;
    m_queue.request(item, m_thumbnailSize, urgent);
}

void ImageBrowserModel::requestAllThumbnails() {
    for (int i = 0; i < itemCount(); ++i)
        if (!m_queue.isPending(m_items[i].uid))
            requestThumbnail(i, false);
}

bool ImageBrowserModel::hasThumbnail(int index) const {
    if (index < 0 || index >= itemCount())
        return false;
    const auto found = m_thumbnails.find(m_items[index].uid);
    return found != m_thumbnails.end() && found->second.version == m_items[index].version;
}

QImage ImageBrowserModel::thumbnail(int index) const {
    return hasThumbnail(index) ? m_thumbnails.at(m_items[index].uid).image : QImage();
}

void ImageBrowserModel::thumbnailArrived(const QString& uid, quint64 version, const Image& image) {
    const auto item = m_itemOfUid.find(uid);
    if (item == m_itemOfUid.end() || m_items[item->second].version != version)
        return;
    m_thumbnails[uid] = Thumbnail{version, m_thumbnailSize, image.qimage()};
    const QModelIndex changed = index(m_rowOfItem[item->second]);
    emit dataChanged(changed, changed, {Qt::DecorationRole, HasThumbnailRole});
}

int ImageBrowserModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant ImageBrowserModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    const Row& row = m_rows[index.row()];
    if (row.item < 0) {
        switch (role) {
        case Qt::DisplayRole: return m_groups[row.group].title;
        case IsHeaderRole: return true;
        case ItemIndexRole: return -1;
        default: return {};
        }
    }
    const ImageBrowserItem& item = m_items[row.item];
    switch (role) {
    case Qt::DisplayRole: return item.title;
    case SubtitleRole: return item.subtitle;
    case Qt::ToolTipRole: return item.toolTip.isEmpty() ? item.title : item.toolTip;
    case Qt::DecorationRole: return hasThumbnail(row.item) ? QVariant(thumbnail(row.item)) : QVariant();
    case HasThumbnailRole: return hasThumbnail(row.item);
    case IsHeaderRole: return false;
    case ItemIndexRole: return row.item;
    default: return {};
    }
}

Qt::ItemFlags ImageBrowserModel::flags(const QModelIndex& index) const {
    if (!index.isValid() || itemForRow(index.row()) < 0)
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

QStringList ImageBrowserModel::mimeTypes() const { return {QStringLiteral("text/uri-list")}; }

QMimeData* ImageBrowserModel::mimeData(const QModelIndexList& indexes) const {
    // In the order of the items, each once.
    std::set<int> chosen;
    for (const QModelIndex& index : indexes)
        if (const int item = itemForRow(index.row()); item >= 0)
            chosen.insert(item);
    QList<QUrl> urls;
    for (int item : chosen)
        if (!m_items[item].path.isEmpty())
            urls.append(QUrl::fromLocalFile(m_items[item].path));
    if (urls.isEmpty())
        return nullptr;
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

}  // namespace kx
