#include "app/first_window.h"

#include <QApplication>
#include <QEvent>
#include <QWindow>

#include <vector>

namespace {

const QString kWatcherName = QStringLiteral("KXFirstWindowWatcher");

// Waits for the first expose of a top-level window. A widget window paints its contents while it handles
// its expose event, so the actions are queued behind that event: they run once the window shows its
// picture. One watcher per application keeps the actions in the order they were given (Qt would run the
// filters of several watchers last-installed first).
class FirstWindowWatcher : public QObject {
public:
    explicit FirstWindowWatcher(QObject* parent) : QObject(parent) { setObjectName(kWatcherName); }

    void add(std::function<void()> action) { actions_.push_back(std::move(action)); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (fired_ || !exposedTopLevelWindow(watched, event))
            return false;
        fired_ = true;
        setObjectName(QString());  // actions given from now on wait for the next window
        QMetaObject::invokeMethod(this, [this] { runActions(); }, Qt::QueuedConnection);
        return false;
    }

private:
    void runActions() {
        const std::vector<std::function<void()>> actions = std::move(actions_);
        deleteLater();
        for (const auto& action : actions)
            action();
    }

    std::vector<std::function<void()>> actions_;
    bool fired_ = false;
};

}  // namespace

const QWindow* exposedTopLevelWindow(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Expose)
        return nullptr;
    const auto* window = qobject_cast<QWindow*>(watched);
    return window && window->isTopLevel() && window->isExposed() ? window : nullptr;
}

void callWhenFirstWindowShown(QApplication& application, std::function<void()> action) {
    // Only our watcher carries the name, and only until it fires.
    auto* watcher = static_cast<FirstWindowWatcher*>(
        application.findChild<QObject*>(kWatcherName, Qt::FindDirectChildrenOnly));
    if (!watcher) {
        watcher = new FirstWindowWatcher(&application);
        application.installEventFilter(watcher);
    }
    watcher->add(std::move(action));
}
