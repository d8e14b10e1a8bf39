#include "platform/foundation/observable.h"
#include "platform/foundation/undo_manager.h"

#include <gtest/gtest.h>

#include <functional>

using namespace kx;

namespace {

class Picture : public Object {
public:
    QString className() const override { return QStringLiteral("Picture"); }
};

// A small observable with a scalar, a string, an object that may be nil, an unannounced key and a
// read-only key.
class Card : public Observable {
public:
    QString className() const override { return QStringLiteral("Card"); }
    QStringList announcedKeys() const override { return {"opacity", "title", "picture"}; }

    double opacity() const { return m_opacity; }
    void setOpacity(double v) { setProperty(QStringLiteral("opacity"), m_opacity, v); }
    QString title() const { return m_title; }
    void setTitle(const QString& v) { setProperty(QStringLiteral("title"), m_title, v); }
    std::shared_ptr<Picture> picture() const { return m_picture; }
    void setPicture(std::shared_ptr<Picture> v) { setProperty(QStringLiteral("picture"), m_picture, v); }
    bool isSelected() const { return m_selected; }
    void setSelected(bool v) { setProperty(QStringLiteral("selected"), m_selected, v); }
    int titleLength() const { return int(m_title.size()); }

    static const PropertyTable& classProperties() {
        static const PropertyTable table = [] {
            PropertyTable t;
            t.add("opacity", &Card::opacity, &Card::setOpacity)
                .add("title", &Card::title, &Card::setTitle)
                .add("picture", &Card::picture, &Card::setPicture)
                .add("selected", &Card::isSelected, &Card::setSelected)
                .add("titleLength", &Card::titleLength);
            return t;
        }();
        return table;
    }
    const PropertyTable& propertyTable() const override { return classProperties(); }

private:
    double m_opacity = 1.0;
    QString m_title;
    std::shared_ptr<Picture> m_picture;
    bool m_selected = false;
};

// A subclass adds keys after its base class's.
class FramedCard : public Card {
public:
    QString className() const override { return QStringLiteral("FramedCard"); }
    int frameWidth() const { return m_frameWidth; }
    void setFrameWidth(int v) { setProperty(QStringLiteral("frameWidth"), m_frameWidth, v); }
    const PropertyTable& propertyTable() const override {
        static const PropertyTable table = [] {
            PropertyTable t(&Card::classProperties());
            t.add("frameWidth", &FramedCard::frameWidth, &FramedCard::setFrameWidth);
            return t;
        }();
        return table;
    }

private:
    int m_frameWidth = 0;
};

struct Change {
    QString key;
    Observable* object;
    Value oldValue;
    Value newValue;
    Value valueSeenDuringCall;
};

class Recorder : public KeyObserver {
public:
    std::vector<Change> changes;
    std::function<void(const QString&)> onChange;

    void observeValue(const QString& key, Observable* object, const Value& oldValue, const Value& newValue) override {
        changes.push_back({key, object, oldValue, newValue, object->valueForKey(key)});
        if (onChange)
            onChange(key);
    }
};

}  // namespace

TEST(Observable, ObserverHearsKeyObjectOldAndNewValueAfterTheChange) {
    Card card;
    Recorder recorder;
    card.addObserver(&recorder, "opacity");
    card.setOpacity(0.5);
    card.setOpacity(0.25);
    ASSERT_EQ(recorder.changes.size(), 2u);
    EXPECT_EQ(recorder.changes[0].key, "opacity");
    EXPECT_EQ(recorder.changes[0].object, &card);
    EXPECT_EQ(recorder.changes[0].oldValue, Value(1.0));
    EXPECT_EQ(recorder.changes[0].newValue, Value(0.5));
    EXPECT_EQ(recorder.changes[0].valueSeenDuringCall, Value(0.5));  // the change is already made
    EXPECT_EQ(recorder.changes[1].oldValue, Value(0.5));
    EXPECT_EQ(recorder.changes[1].newValue, Value(0.25));
}

TEST(Observable, NilOldAndNewValuesStayNil) {
    Card card;
    Recorder recorder;
    card.addObserver(&recorder, "picture");
    auto picture = std::make_shared<Picture>();
    card.setPicture(picture);
    card.setPicture(nullptr);
    ASSERT_EQ(recorder.changes.size(), 2u);
    EXPECT_TRUE(recorder.changes[0].oldValue.isNil());
    EXPECT_EQ(recorder.changes[0].newValue.toObject(), picture);
    EXPECT_EQ(recorder.changes[1].oldValue.toObject(), picture);
    EXPECT_TRUE(recorder.changes[1].newValue.isNil());
}

TEST(Observable, RegistrationsAreCountedAndUnknownRemovalsAreHarmless) {
    Card card;
    Recorder recorder, stranger;
    card.removeObserver(&stranger, "opacity");  // never registered
    card.addObserver(&recorder, "opacity");
    card.addObserver(&recorder, "opacity");
    EXPECT_EQ(card.observationCount(&recorder, "opacity"), 2);
    card.setOpacity(0.5);
    EXPECT_EQ(recorder.changes.size(), 2u);

    card.removeObserver(&recorder, "opacity");
    card.setOpacity(0.4);
    EXPECT_EQ(recorder.changes.size(), 3u);

    card.removeObserver(&recorder, "opacity");
    card.removeObserver(&recorder, "opacity");  // one removal too many
    card.setOpacity(0.3);
    EXPECT_EQ(recorder.changes.size(), 3u);
    EXPECT_FALSE(card.hasObservers());
}

TEST(Observable, ObservingAnObjectCoversItsAnnouncedKeysOnly) {
    Card card;
    Recorder recorder;
    card.addObserver(&recorder);
    card.setTitle("Hello");
    card.setSelected(true);  // not announced
    card.setOpacity(0.5);
    ASSERT_EQ(recorder.changes.size(), 2u);
    EXPECT_EQ(recorder.changes[0].key, "title");
    EXPECT_EQ(recorder.changes[1].key, "opacity");

    card.removeObserver(&recorder);
    card.setTitle("Bye");
    EXPECT_EQ(recorder.changes.size(), 2u);
    EXPECT_FALSE(card.hasObservers());
}

TEST(Observable, ObserverMayRemoveItselfOrALaterObserverWhileBeingTold) {
    Card card;
    Recorder first, second, third;
    card.addObserver(&first, "opacity");
    card.addObserver(&second, "opacity");
    card.addObserver(&third, "opacity");
    first.onChange = [&](const QString& key) {
        card.removeObserver(&first, key);
        card.removeObserver(&third, key);
    };
    card.setOpacity(0.5);
    EXPECT_EQ(first.changes.size(), 1u);
    EXPECT_EQ(second.changes.size(), 1u);
    EXPECT_EQ(third.changes.size(), 0u);

    card.setOpacity(0.7);
    EXPECT_EQ(first.changes.size(), 1u);
    EXPECT_EQ(second.changes.size(), 2u);
}

TEST(Observable, ObserverAddedWhileBeingToldHearsOnlyLaterChanges) {
    Card card;
    Recorder first, late;
    card.addObserver(&first, "opacity");
    first.onChange = [&](const QString& key) {
        if (card.observationCount(&late, key) == 0)
            card.addObserver(&late, key);
    };
    card.setOpacity(0.5);
    EXPECT_EQ(late.changes.size(), 0u);
    card.setOpacity(0.6);
    EXPECT_EQ(late.changes.size(), 1u);
}

TEST(Observable, ObserverMayReleaseTheLastOwnerOfTheObject) {
    auto card = std::make_shared<Card>();
    Recorder first, second;
    card->addObserver(&first, "opacity");
    card->addObserver(&second, "opacity");
    Card* raw = card.get();
    first.onChange = [&](const QString&) { card.reset(); };
    raw->setOpacity(0.5);  // the object must outlive its own announcement
    EXPECT_EQ(second.changes.size(), 1u);
    EXPECT_FALSE(card);
}

TEST(KeyValueCoding, ReadsAndWritesThroughTheClassTable) {
    Card card;
    Recorder recorder;
    card.addObserver(&recorder, "title");

    struct Case {
        const char* key;
        Value written;
        Value readBack;
    };
    const Case cases[] = {
        {"opacity", Value(0.5), Value(0.5)},
        {"opacity", Value(2), Value(2.0)},  // numbers convert
        {"title", Value("Summer"), Value("Summer")},
        {"selected", Value(true), Value(true)},
        {"picture", Value(), Value()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_TRUE(card.setValueForKey(c.key, c.written));
        EXPECT_EQ(card.valueForKey(c.key), c.readBack);
    }
    // Writing by key goes through the setter, so it is announced like any change.
    ASSERT_EQ(recorder.changes.size(), 1u);
    EXPECT_EQ(recorder.changes[0].newValue, Value("Summer"));

    EXPECT_EQ(card.valueForKey("titleLength"), Value(6));
    EXPECT_FALSE(card.setValueForKey("titleLength", Value(1)));  // read-only
    EXPECT_TRUE(card.valueForKey("nonsense").isNil());
    EXPECT_FALSE(card.setValueForKey("nonsense", Value(1)));
}

TEST(KeyValueCoding, SubclassTableExtendsTheBaseTable) {
    FramedCard card;
    EXPECT_TRUE(card.setValueForKey("frameWidth", Value(4)));
    EXPECT_TRUE(card.setValueForKey("opacity", Value(0.3)));
    EXPECT_EQ(card.frameWidth(), 4);
    EXPECT_DOUBLE_EQ(card.opacity(), 0.3);
    EXPECT_EQ(card.propertyTable().keys(),
              QStringList({"opacity", "title", "picture", "selected", "titleLength", "frameWidth"}));
    Card plain;
    EXPECT_FALSE(plain.setValueForKey("frameWidth", Value(4)));
}

namespace {

// Turns every announced change into an undo step that sets the old value back by key, the way a page
// records the edits of the objects on it.
class UndoRecorder : public KeyObserver {
public:
    explicit UndoRecorder(UndoManager& undo) : m_undo(undo) {}
    void observeValue(const QString& key, Observable* object, const Value& oldValue, const Value&) override {
        if (!m_undo.isUndoRegistrationEnabled())
            return;
        m_undo.registerUndo(this, [this, key, object, oldValue] { changeKeyPath(key, object, oldValue); });
    }
    void changeKeyPath(const QString& key, Observable* object, const Value& value) {
        object->setValueForKey(key, value);
    }

private:
    UndoManager& m_undo;
};

}  // namespace

TEST(KeyValueCoding, AnnouncedChangesBecomeUndoStepsThatRestoreByKey) {
    UndoManager undo;
    undo.setGroupsByEvent(false);
    UndoRecorder page(undo);
    Card card;
    card.addObserver(&page);
    auto picture = std::make_shared<Picture>();

    undo.beginUndoGrouping();
    card.setOpacity(0.5);
    card.setPicture(picture);
    undo.endUndoGrouping();
    undo.beginUndoGrouping();
    card.setTitle("Winter");
    undo.endUndoGrouping();

    undo.undo();
    EXPECT_EQ(card.title(), "");
    undo.undo();
    EXPECT_DOUBLE_EQ(card.opacity(), 1.0);
    EXPECT_EQ(card.picture(), nullptr);  // nil restored as nil
    EXPECT_FALSE(undo.canUndo());

    undo.redo();  // setting the old value back was itself observed: that gave the redo step
    EXPECT_DOUBLE_EQ(card.opacity(), 0.5);
    EXPECT_EQ(card.picture(), picture);
    undo.redo();
    EXPECT_EQ(card.title(), "Winter");
    EXPECT_FALSE(undo.canRedo());
    card.removeObserver(&page);
}
