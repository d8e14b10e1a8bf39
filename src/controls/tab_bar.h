// The tab bar of a side panel: a strip of tab buttons of which at most one is selected. Every new selection
// is posted as KXTabbarSelectionChangedNotification (sender: the bar) and told to the bar's delegate, which
// asks its panel to show the view whose tag is the selected index.
#pragma once

#include <QColor>
#include <QIcon>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <limits>
#include <vector>

class KXTabbar;

inline const QString KXTabbarSelectionChangedNotification = QStringLiteral("KXTabbarSelectionChangedNotification");

// The index of no button.
inline constexpr std::int64_t KXTabNotFound = std::numeric_limits<std::int64_t>::max();

class KXTabbarDelegate {
public:
    virtual ~KXTabbarDelegate() = default;
    virtual void tabbarSelectionChanged(KXTabbar* tabbar) = 0;
};

// One button of a tab bar: an image and a title, with the selected look drawn behind them. A press hands
// the button to its bar, which applies the click rule.
class KXTabButton : public QWidget {
    Q_OBJECT
public:
    explicit KXTabButton(const QString& title = QString(), const QIcon& icon = QIcon(), QWidget* parent = nullptr);

    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    // The bar the button belongs to; not owned.
    KXTabbar* owner() const { return m_owner; }
    void setOwner(KXTabbar* owner) { m_owner = owner; }

    QString title() const { return m_title; }
    QIcon icon() const { return m_icon; }

    QSize sizeHint() const override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void drawSelectedLook(QPainter& painter) const;

    QString m_title;
    QIcon m_icon;
    bool m_selected = false;
    KXTabbar* m_owner = nullptr;
};

class KXTabbar : public QWidget {
    Q_OBJECT
public:
    explicit KXTabbar(QWidget* parent = nullptr);

    // Takes every child that is a tab button, in child order, then selects the first one.
    void awakeFromNib();
    // Makes the bar the button's owner and appends it.
    void addTabButton(KXTabButton* button);
    // The click rule: with select type 1 a click on the selected button deselects it (and tells no one);
    // otherwise the clicked button becomes the only selected one and the selection is announced.
    void selectTabButton(KXTabButton* button);
    // Selects the button at the index and announces it; nothing for an index that names no button or the
    // one already selected.
    void selectTabButtonAtIndex(std::int64_t index);
    // The index of the first selected button; KXTabNotFound when none is.
    std::int64_t indexOfSelectedTabButton() const;

    const std::vector<KXTabButton*>& tabButtons() const { return m_tabButtons; }
    int selectType() const { return m_selectType; }
    void setSelectType(int type) { m_selectType = type; }
    KXTabbarDelegate* delegate() const { return m_delegate; }
    void setDelegate(KXTabbarDelegate* delegate) { m_delegate = delegate; }

    QColor strokeColor() const { return m_strokeColor; }
    QColor shadowColor() const { return m_shadowColor; }
    QColor fillColor() const { return m_fillColor; }
    QColor gradientColor1() const { return m_gradientColor1; }
    QColor gradientColor2() const { return m_gradientColor2; }
    void setStrokeColor(const QColor& color) { m_strokeColor = color; }
    void setShadowColor(const QColor& color) { m_shadowColor = color; }
    void setFillColor(const QColor& color) { m_fillColor = color; }
    void setGradientColor1(const QColor& color) { m_gradientColor1 = color; }
    void setGradientColor2(const QColor& color) { m_gradientColor2 = color; }

private:
    // Marks exactly this button selected, then posts the notification and tells the delegate once.
    void makeSelection(KXTabButton* selected);

    std::vector<KXTabButton*> m_tabButtons;
    int m_selectType = 1;
    KXTabbarDelegate* m_delegate = nullptr;
    QColor m_strokeColor;
    QColor m_shadowColor;
    QColor m_fillColor;
    QColor m_gradientColor1;
    QColor m_gradientColor2;
};
