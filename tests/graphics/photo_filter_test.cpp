#include "graphics/photo_filter.h"

#include "platform/foundation/keyed_archiver.h"
#include "platform/foundation/keyed_unarchiver.h"
#include "platform/foundation/property_list.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

struct Change {
    QString key;
    kx::Observable* object;
    double oldValue;
    double newValue;
};

class RecordingObserver : public kx::KeyObserver {
public:
    void observeValue(const QString& key, kx::Observable* object, const kx::Value& oldValue,
                      const kx::Value& newValue) override {
        changes.push_back({key, object, oldValue.toDouble(), newValue.toDouble()});
    }
    std::vector<Change> changes;
};

struct Values {
    float exposure, saturation, brightness, contrast, hue;
};

Values valuesOf(const KXPhotoFilter& f) {
    return {f.exposureValue(), f.saturationValue(), f.brightnessValue(), f.contrastValue(), f.hueValue()};
}

void expectValues(const KXPhotoFilter& f, const Values& v) {
    EXPECT_EQ(f.exposureValue(), v.exposure);
    EXPECT_EQ(f.saturationValue(), v.saturation);
    EXPECT_EQ(f.brightnessValue(), v.brightness);
    EXPECT_EQ(f.contrastValue(), v.contrast);
    EXPECT_EQ(f.hueValue(), v.hue);
}

std::shared_ptr<KXPhotoFilter> roundTrip(const std::shared_ptr<KXPhotoFilter>& filter, QString* error = nullptr) {
    const QByteArray data = kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(filter), error);
    EXPECT_FALSE(data.isEmpty());
    const std::optional<kx::Value> root = kx::KeyedUnarchiver::unarchiveObjectWithData(data, error);
    return root ? root->objectAs<KXPhotoFilter>() : nullptr;
}

// Writes a "KXPhotoFilter" whose filters are whatever the test puts under which keys.
class HandMadePhotoFilter : public kx::Object, public kx::Coding {
public:
    QString className() const override { return QStringLiteral("KXPhotoFilter"); }
    void encodeWithCoder(kx::KeyedArchiver& coder) const override { encode(coder); }
    void initWithCoder(kx::KeyedUnarchiver&) override {}
    std::function<void(kx::KeyedArchiver&)> encode;
};

std::optional<kx::Value> readHandMade(std::function<void(kx::KeyedArchiver&)> encode, QString* error) {
    KXPhotoFilter::registerArchiveClasses();
    auto object = std::make_shared<HandMadePhotoFilter>();
    object->encode = std::move(encode);
    const QByteArray data = kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(object), error);
    EXPECT_FALSE(data.isEmpty()) << error->toStdString();
    return kx::KeyedUnarchiver::unarchiveObjectWithData(data, error);
}

TEST(PhotoFilter, NewObjectIsNeutral) {
    const KXPhotoFilter filter;
    EXPECT_TRUE(filter.isDefault());
    expectValues(filter, {0, 1, 0, 1, 0});
    EXPECT_EQ(filter.exposureFilter()->name(), QStringLiteral("CIExposureAdjust"));
    EXPECT_EQ(filter.hueFilter()->name(), QStringLiteral("CIHueAdjust"));
    EXPECT_EQ(filter.colorControls()->name(), QStringLiteral("CIColorControls"));
}

TEST(PhotoFilter, EachAdjustmentLeavesDefaultUntilReset) {
    struct Case {
        const char* name;
        void (KXPhotoFilter::*set)(float);
        float (KXPhotoFilter::*get)() const;
        float value;
    };
    const Case cases[] = {
        {"exposure", &KXPhotoFilter::setExposure, &KXPhotoFilter::exposureValue, -1.5f},
        {"saturation", &KXPhotoFilter::setSaturation, &KXPhotoFilter::saturationValue, 0.25f},
        {"brightness", &KXPhotoFilter::setBrightness, &KXPhotoFilter::brightnessValue, 0.1f},
        {"contrast", &KXPhotoFilter::setContrast, &KXPhotoFilter::contrastValue, 1.0001f},
        {"hue", &KXPhotoFilter::setHue, &KXPhotoFilter::hueValue, 3.1f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KXPhotoFilter filter;
        (filter.*c.set)(c.value);
        EXPECT_EQ((filter.*c.get)(), c.value);
        EXPECT_FALSE(filter.isDefault());
        filter.resetFiliter();
        EXPECT_TRUE(filter.isDefault());
        expectValues(filter, {0, 1, 0, 1, 0});
    }
}

TEST(PhotoFilter, ValuesLiveInTheFiltersAsSinglePrecision) {
    KXPhotoFilter filter;
    filter.setExposure(0.1f);
    filter.setHue(-0.7f);
    const kx::Value ev = filter.exposureFilter()->inputValues().at(QStringLiteral("inputEV"));
    EXPECT_TRUE(ev.isFloat());
    EXPECT_EQ(float(ev.toDouble()), 0.1f);
    EXPECT_EQ(float(filter.hueFilter()->numberForKey(QStringLiteral("inputAngle"))), -0.7f);
}

TEST(PhotoFilter, ObserverHearsEachChangeOnceWithOldAndNewValues) {
    KXPhotoFilter filter;
    RecordingObserver observer;
    filter.addObserver(&observer);
    filter.setSaturation(0.5f);
    ASSERT_EQ(observer.changes.size(), 1u);
    EXPECT_EQ(observer.changes[0].key, QStringLiteral("inputSaturation"));
    EXPECT_EQ(observer.changes[0].object, filter.colorControls().get());
    EXPECT_EQ(observer.changes[0].oldValue, 1.0);
    EXPECT_EQ(observer.changes[0].newValue, 0.5);

    observer.changes.clear();
    filter.resetFiliter();
    std::vector<QString> keys;
    for (const Change& c : observer.changes)
        keys.push_back(c.key);
    EXPECT_EQ(keys, (std::vector<QString>{"inputEV", "inputSaturation", "inputBrightness", "inputContrast",
                                          "inputAngle"}));

    observer.changes.clear();
    filter.removeObserver(&observer);
    filter.setExposure(1);
    filter.setHue(1);
    filter.setContrast(2);
    EXPECT_TRUE(observer.changes.empty());
}

TEST(PhotoFilter, ArchiveRoundTripKeepsEveryValue) {
    auto filter = std::make_shared<KXPhotoFilter>();
    filter->setExposure(0.3f);
    filter->setSaturation(1.7f);
    filter->setBrightness(-0.2f);
    filter->setContrast(0.6f);
    filter->setHue(2.5f);
    QString error;
    const auto restored = roundTrip(filter, &error);
    ASSERT_TRUE(restored) << error.toStdString();
    expectValues(*restored, valuesOf(*filter));
    EXPECT_NE(restored->exposureFilter(), filter->exposureFilter());

    // An untouched filter comes back neutral, not with the exposure filter's own default of half a stop.
    const auto neutral = roundTrip(std::make_shared<KXPhotoFilter>());
    ASSERT_TRUE(neutral);
    EXPECT_TRUE(neutral->isDefault());
}

TEST(PhotoFilter, ArchiveStoresEachFilterByNameWithFourByteReals) {
    auto filter = std::make_shared<KXPhotoFilter>();
    filter->setContrast(1.25f);
    const QByteArray data = kx::KeyedArchiver::archivedDataWithRootObject(kx::Value(filter));
    const std::optional<kx::Value> plist = kx::readPropertyList(data);
    ASSERT_TRUE(plist);
    const kx::ValueArray& objects = plist->toDictionary().at(QStringLiteral("$objects")).toArray();

    int filtersSeen = 0;
    for (const kx::Value& object : objects) {
        const kx::ValueDictionary& fields = object.toDictionary();
        const auto contrast = fields.find(QStringLiteral("inputContrast"));
        if (fields.count(QStringLiteral("CIFilterName")))
            ++filtersSeen;
        if (contrast != fields.end()) {
            EXPECT_TRUE(contrast->second.isFloat());
            EXPECT_EQ(contrast->second.toDouble(), 1.25);
        }
    }
    EXPECT_EQ(filtersSeen, 3);
    EXPECT_TRUE(std::any_of(objects.begin(), objects.end(), [](const kx::Value& v) {
        return v.toDictionary().count(QStringLiteral("$classname")) &&
               v.toDictionary().at(QStringLiteral("$classname")) == kx::Value("CIFilter");
    }));
}

TEST(PhotoFilter, FilterMissingFromArchiveStaysNeutral) {
    QString error;
    const auto decoded = readHandMade(
        [](kx::KeyedArchiver& coder) {
            const kx::FilterPtr hue = ArchivedFilter::neutralFilterWithName(QStringLiteral("CIHueAdjust"));
            hue->setInputValue(QStringLiteral("inputAngle"), kx::Value(1.5f));
            coder.encodeObject(kx::Value(std::make_shared<ArchivedFilter>(hue)), QStringLiteral("hueFilter"));
        },
        &error);
    ASSERT_TRUE(decoded) << error.toStdString();
    const auto filter = decoded->objectAs<KXPhotoFilter>();
    ASSERT_TRUE(filter);
    expectValues(*filter, {0, 1, 0, 1, 1.5f});
}

TEST(PhotoFilter, DamagedFilterEntriesFailTheArchive) {
    struct Case {
        const char* name;
        QString key;
        QString filterName;
    };
    const Case cases[] = {
        {"unknown filter name", QStringLiteral("exposureFilter"), QStringLiteral("CINoSuchFilter")},
        {"no filter name", QStringLiteral("exposureFilter"), QString()},
        {"filter of the wrong kind", QStringLiteral("colorControls"), QStringLiteral("CIHueAdjust")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A stand-in "CIFilter" that writes whatever name the case asks for.
        class RawFilter : public kx::Object, public kx::Coding {
        public:
            explicit RawFilter(QString n) : name(std::move(n)) {}
            QString className() const override { return QStringLiteral("CIFilter"); }
            void encodeWithCoder(kx::KeyedArchiver& coder) const override {
                if (!name.isEmpty())
                    coder.encodeObject(kx::Value(name), QStringLiteral("CIFilterName"));
                coder.encodeFloat(2, QStringLiteral("inputEV"));
            }
            void initWithCoder(kx::KeyedUnarchiver&) override {}
            QString name;
        };
        QString error;
        const auto decoded = readHandMade(
            [&c](kx::KeyedArchiver& coder) {
                coder.encodeObject(kx::Value(std::make_shared<RawFilter>(c.filterName)), c.key);
            },
            &error);
        EXPECT_FALSE(decoded);
        EXPECT_FALSE(error.isEmpty());
    }
}

}  // namespace
