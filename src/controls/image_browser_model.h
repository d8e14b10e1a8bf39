// The list behind an image browser: items in groups, each group under a header row, and the thumbnails made
// for them so far. Thumbnails are asked for when a cell is first shown (on-screen cells first) and the rest
// afterwards, made off the main thread; a cell draws a placeholder until its thumbnail arrives.
#pragma once

#include "controls/image_browser_item.h"
#include "controls/thumbnail_maker.h"

#include <QAbstractListModel>
#include <QImage>

#include <unordered_map>
#include <vector>

namespace kx {

class ImageBrowserModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        // True for a group's header row.
        IsHeaderRole = Qt::UserRole + 1,
        // The item's index (not counting header rows), -1 for a header.
        ItemIndexRole,
        // Whether the thumbnail has arrived (DecorationRole then holds it as a QImage).
        HasThumbnailRole,
        SubtitleRole,
    };

    explicit ImageBrowserModel(QObject* parent = nullptr);

    // Replaces everything shown. Groups must cover item ranges in order; items outside every group are shown
    // without a header. Thumbnails of uids that stay, at the same version, are kept.
    void setItems(std::vector<ImageBrowserItem> items, std::vector<ImageBrowserGroup> groups = {});
    // Replaces one item (a new version makes its thumbnail again).
    void setItem(int index, const ImageBrowserItem& item);
    const std::vector<ImageBrowserItem>& items() const { return m_items; }
    int itemCount() const { return int(m_items.size()); }

    int rowForItem(int index) const;
    int itemForRow(int row) const;

    // The longest side of thumbnails, in pixels. Changing it makes every thumbnail again.
    void setThumbnailSize(int pixels);
    int thumbnailSize() const { return m_thumbnailSize; }

    // Asks for the thumbnail of the item at `index` unless it is there or on its way; urgent for cells on screen.
    void requestThumbnail(int index, bool urgent);
    // Asks for every missing thumbnail, after the urgent ones.
    void requestAllThumbnails();
    bool hasThumbnail(int index) const;
    QImage thumbnail(int index) const;
    ThumbnailQueue& queue() { return m_queue; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Items with files can be dragged out as a list of file URLs.
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

private:
    void rebuildRows();
    void thumbnailArrived(const QString& uid, quint64 version, const Image& image);

    struct Row {
        int item = -1;   // -1 for a header
        int group = -1;  // the group a header heads
    };
    struct Thumbnail {
        quint64 version = 0;
        int size = 0;
        QImage image;
    };

    std::vector<ImageBrowserItem> m_items;
    std::vector<ImageBrowserGroup> m_groups;
    std::vector<Row> m_rows;
    std::vector<int> m_rowOfItem;
    std::unordered_map<QString, int> m_itemOfUid;
    std::unordered_map<QString, Thumbnail> m_thumbnails;
    int m_thumbnailSize = 128;
    ThumbnailQueue m_queue;
};

}  // namespace kx
