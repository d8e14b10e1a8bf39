#include "platform/foundation/uniform_type.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

struct ExtensionCase {
    const char* extension;
    const char* identifier;
};

TEST(UniformType, ExtensionsMapToTheirDeclaredTypesWhateverTheCase) {
    const ExtensionCase cases[] = {
        {"jpg", "public.jpeg"},   {"JPEG", "public.jpeg"},   {"Jpe", "public.jpeg"},
        {"png", "public.png"},    {"tif", "public.tiff"},    {"TIFF", "public.tiff"},
        {"gif", "com.compuserve.gif"}, {"bmp", "com.microsoft.bmp"}, {"svg", "public.svg-image"},
        {"pdf", "com.adobe.pdf"}, {"PDF", "com.adobe.pdf"}, {"eps", "com.adobe.encapsulated-postscript"},
        {"ai", "com.adobe.illustrator.ai-image"}, {"webp", "org.webmproject.webp"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(uniformTypeForExtension(QString::fromLatin1(c.extension)), QString::fromLatin1(c.identifier))
            << c.extension;
}

TEST(UniformType, UnclaimedExtensionGetsADynamicIdentifierConformingToData) {
    const QString id = uniformTypeForExtension(QStringLiteral("Qqz"));
    EXPECT_EQ(id, QStringLiteral("dyn.qqz"));
    EXPECT_TRUE(isDynamicUniformType(id));
    EXPECT_TRUE(uniformTypeConformsTo(id, QStringLiteral("public.data")));
    EXPECT_TRUE(uniformTypeConformsTo(id, QStringLiteral("public.item")));
    EXPECT_FALSE(uniformTypeConformsTo(id, QStringLiteral("public.image")));
    EXPECT_FALSE(isDynamicUniformType(QStringLiteral("public.png")));
}

TEST(UniformType, EmptyExtensionHasNoIdentifier) {
    EXPECT_TRUE(uniformTypeForExtension(QString()).isEmpty());
}

TEST(UniformType, ConformanceFollowsTheGraphTransitively) {
    struct Case {
        const char* type;
        const char* ancestor;
        bool conforms;
    };
    const Case cases[] = {
        {"public.jpeg", "public.jpeg", true},
        {"public.jpeg", "public.image", true},
        {"public.jpeg", "public.data", true},
        {"public.jpeg", "public.item", true},
        {"public.jpeg", "public.content", true},
        {"PUBLIC.JPEG", "Public.Image", true},
        {"public.jpeg", "public.png", false},
        {"public.image", "public.jpeg", false},
        {"com.adobe.pdf", "public.data", true},
        {"com.adobe.pdf", "public.composite-content", true},
        {"com.adobe.pdf", "public.content", true},
        {"com.adobe.pdf", "public.image", false},
        {"com.adobe.illustrator.ai-image", "com.adobe.pdf", true},
        {"public.json", "public.text", true},
        {"public.json", "public.image", false},
        {"org.example.unknown", "org.example.unknown", true},
        {"org.example.unknown", "public.data", false},
        {"", "public.data", false},
        {"public.data", "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(uniformTypeConformsTo(QString::fromLatin1(c.type), QString::fromLatin1(c.ancestor)), c.conforms)
            << c.type << " -> " << c.ancestor;
}

TEST(UniformType, LookupHonoursTheRequiredAncestor) {
    EXPECT_EQ(uniformTypeForExtension(QStringLiteral("png"), QStringLiteral("public.image")),
              QStringLiteral("public.png"));
    // No type claiming "png" conforms to text, so the extension gets a dynamic identifier.
    EXPECT_EQ(uniformTypeForExtension(QStringLiteral("png"), QStringLiteral("public.text")),
              QStringLiteral("dyn.png"));
}

TEST(UniformType, EqualityIgnoresCaseAndRefusesEmpty) {
    EXPECT_TRUE(uniformTypeEquals(QStringLiteral("com.adobe.PDF"), QStringLiteral("com.adobe.pdf")));
    EXPECT_FALSE(uniformTypeEquals(QStringLiteral("com.adobe.pdf"), QStringLiteral("com.adobe.pdfx")));
    EXPECT_FALSE(uniformTypeEquals(QString(), QString()));
}

}  // namespace
}  // namespace kx
