#include "document/template_chooser.h"

namespace {

KXTemplateChooser::Factory& factorySlot() {
    static KXTemplateChooser::Factory factory;
    return factory;
}

}  // namespace

std::unique_ptr<KXTemplateChooser> KXTemplateChooser::templateWC() {
    const Factory& factory = factorySlot();
    return factory ? factory() : nullptr;
}

void KXTemplateChooser::setFactory(Factory factory) {
    factorySlot() = std::move(factory);
}
