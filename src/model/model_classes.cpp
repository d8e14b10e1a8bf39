#include "model/model_classes.h"

#include "model/background.h"
#include "model/calendar.h"
#include "model/canvas.h"
#include "model/frame.h"
#include "model/graph.h"
#include "model/group.h"
#include "model/page_size.h"
#include "model/path_point.h"
#include "model/photo.h"
#include "model/shadow.h"
#include "model/shape.h"
#include "model/shape_field.h"
#include "model/stroke.h"
#include "graphics/photo_filter.h"
#include "shapes/custom_shape.h"
#include "shapes/parametric_shape.h"
#include "shapes/symbol_shape.h"
#include "platform/gfx/bezier_path_coding.h"
#include "platform/text/text_storage.h"
#include "text/advanced_text.h"

#include <mutex>

void registerModelClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        kx::ClassRegistry& registry = kx::ClassRegistry::shared();
        kx::registerBezierPathClass(registry);
        registry.registerClass<KXStroke>(QStringLiteral("KXStroke"));
        registry.registerClass<KXShadow>(QStringLiteral("KXShadow"));
        registry.registerClass<KXShapeField>(QStringLiteral("KXShapeField"));
        registry.registerClass<KXPathPoint>(QStringLiteral("KXPathPoint"));
        registry.registerClass<KXBackground>(QStringLiteral("KXBackground"));
        registry.registerClass<KXGraph>(QStringLiteral("KXGraph"));
        registry.registerClass<KXCanvas>(QStringLiteral("KXCanvas"));
        registry.registerClass<KXCalendar>(QStringLiteral("KXCalendar"), QStringLiteral("KXGraph"));
        KXPhotoFilter::registerArchiveClasses();
        registry.registerClass<KXFrameMargin>(QStringLiteral("KXFrameMargin"));
        registry.registerClass<KXFrame>(QStringLiteral("KXFrame"));
        registry.registerClass<KXPhoto>(QStringLiteral("KXPhoto"), QStringLiteral("KXShapeField"));
        registry.registerClass<KXShape>(QStringLiteral("KXShape"), QStringLiteral("KXGraph"));
        registry.registerClass<KXGroup>(QStringLiteral("KXGroup"), QStringLiteral("KXGraph"));
        kx::registerTextClasses(registry);
        registry.registerClass<KXTextContainer>(QStringLiteral("KXTextContainer"));
        registry.registerClass<KXText>(QStringLiteral("KXText"), QStringLiteral("KXShapeField"));
        registry.registerClass<KXAdvancedText>(QStringLiteral("KXAdvancedText"), QStringLiteral("KXText"));
        // New shapes hold a word-art text field.
        setShapeTextFactory([](KXShape* owner, const QString* string) -> std::shared_ptr<KXShapeText> {
            return KXAdvancedText::initWithOwner(owner, string ? *string : QString());
        });
        registry.registerClass<KXSpecialShape>(QStringLiteral("KXSpecialShape"), QStringLiteral("KXShape"));
        registry.registerClass<KXSymbolShape>(QStringLiteral("KXSymbolShape"), QStringLiteral("KXShape"));
        registry.registerClass<KXCustomShape>(QStringLiteral("KXCustomShape"), QStringLiteral("KXShape"));
    });
    registerPageSizeClasses();
}
