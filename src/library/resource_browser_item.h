// The items of the resource lists and the shape picker, and the browser they are shown in.
//
// KXImageBrowserItem names one picture by path, URL or image; KXResourceBrowserItem also finds a smaller
// thumbnail beside a resource file ("Thumbnails/<name>.jpg") and shows that in place of the file, while the
// item's path (what is dragged and inserted) stays the resource itself.
#pragma once

#include "controls/image_browser_view.h"
#include "platform/foundation/coding.h"
#include "platform/foundation/value.h"

#include <QMimeData>
#include <QString>
#include <QUrl>

#include <functional>
#include <vector>

inline const QString KXImageBrowserPathRepresentationType = QStringLiteral("path");
inline const QString KXImageBrowserURLRepresentationType = QStringLiteral("url");
inline const QString KXImageBrowserImageRepresentationType = QStringLiteral("image");

// Archived under the keys "url", "path", "title", "toolTip" and "representationType"; the image and the
// version are not archived, so a copy (made by an archive round trip) has neither.
class KXImageBrowserItem : public kx::Object, public kx::Coding {
public:
    KXImageBrowserItem() = default;
    KXImageBrowserItem(const KXImageBrowserItem&) = default;
    KXImageBrowserItem& operator=(const KXImageBrowserItem&) = default;
    ~KXImageBrowserItem() override = default;

    QString className() const override { return QStringLiteral("KXImageBrowserItem"); }
    void encodeWithCoder(kx::KeyedArchiver& coder) const override;
    void initWithCoder(kx::KeyedUnarchiver& coder) override;
    // The copy made by archiving and unarchiving the item; null when that fails.
    std::shared_ptr<KXImageBrowserItem> copy() const;
    // Makes both item classes known to the shared class registry (done by copy()).
    static void registerClasses();

    quint64 version() const { return m_version; }
    void setVersion(quint64 version) { m_version = version; }
    const QUrl& url() const { return m_url; }
    void setUrl(const QUrl& url) { m_url = url; }
    const QString& path() const { return m_path; }
    virtual void setPath(const QString& path) { m_path = path; }
    const kx::Image& image() const { return m_image; }
    void setImage(const kx::Image& image) { m_image = image; }
    const QString& title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    const QString& toolTip() const { return m_toolTip; }
    void setToolTip(const QString& toolTip) { m_toolTip = toolTip; }
    const QString& representationType() const { return m_representationType; }
    void setRepresentationType(const QString& type) { m_representationType = type; }

    // The title, else the file name of the path (or URL) without its extension.
    QString imageTitle() const;
    // The path's extension.
    QString imageSubtitle() const;
    // The path, the URL's text or the image's identity by the representation type; "placeholder" otherwise.
    QString imageUID() const;
    // The tool tip, else the title.
    QString description() const;

    // The cell that shows this item in an image browser.
    virtual kx::ImageBrowserItem browserItem() const;

private:
    quint64 m_version = 0;
    QUrl m_url;
    QString m_path;
    kx::Image m_image;
    QString m_title;
    QString m_toolTip;
    QString m_representationType = KXImageBrowserPathRepresentationType;
};

class KXResourceBrowserItem : public KXImageBrowserItem {
public:
    KXResourceBrowserItem() = default;
    explicit KXResourceBrowserItem(const QString& path) { setPath(path); }
    QString className() const override { return QStringLiteral("KXResourceBrowserItem"); }

    // Also looks for the thumbnail beside the file.
    void setPath(const QString& path) override;
    const QString& thumbPath() const { return m_thumbPath; }
    // Shows the thumbnail when there is one; the cell's path stays the resource's.
    kx::ImageBrowserItem browserItem() const override;

private:
    QString m_thumbPath;
};

// The image browser of the resource lists: it carries the identifier ("Clipart", "Frame", "Mask") that the
// canvas reads from a drag's source to decide what a dropped resource becomes.
class KXImageBrowserView : public kx::ImageBrowserView {
    Q_OBJECT
public:
    using kx::ImageBrowserView::ImageBrowserView;
    const QString& idString() const { return m_idString; }
    void setIdString(const QString& idString) { m_idString = idString; }
    // Menu items tagged 90 to 92 act on the canvas selection and are disabled while a browser is the target.
    static bool validateMenuItemTag(int tag) { return tag < 90 || tag > 92; }

    // The drag data of the chosen items (null refuses the drag). Without a provider: the items' files, with
    // this browser's class and identifier.
    using DragDataProvider = std::function<QMimeData*(const std::vector<int>& items)>;
    void setDragDataProvider(DragDataProvider provider) { m_dragDataProvider = std::move(provider); }
    QMimeData* dragData(const std::vector<int>& items) const;

protected:
    void startDrag(Qt::DropActions supportedActions) override;

private:
    QString m_idString;
    DragDataProvider m_dragDataProvider;
};

// Drags the data out of a browser with the first chosen item's thumbnail as the picture under the pointer
// (held at its centre, which the drag data then tells the page).
void startBrowserDrag(kx::ImageBrowserView& view, QMimeData* data, const std::vector<int>& items);
