// The effect catalogue is filled once per process from the resources the application has when it is first
// asked for. All tests of this executable share one process, so the catalogue is filled here, from the
// project's own resources, before any test can fill it from a temporary folder of its own.
#include "graphics/image_effect_manager.h"
#include "platform/foundation/bundle.h"

#include <gtest/gtest.h>

namespace {

class SharedCatalogueEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        const QString before = kx::Bundle::main().resourcePath();
        kx::Bundle::setMainResourcePath(QStringLiteral(KX_SOURCE_DIR "/resources"));
        KXImageEffectManager::imageEffectManager();
        kx::Bundle::setMainResourcePath(before);
    }
};

const auto* const registered = ::testing::AddGlobalTestEnvironment(new SharedCatalogueEnvironment);

}  // namespace
