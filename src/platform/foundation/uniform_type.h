// Uniform type identifiers ("public.jpeg", "com.adobe.pdf") for files, from our own table of file-name
// extensions and a conformance graph. Linux has no system registry of such types, so the table below is
// the whole truth: an extension that no type claims gets a dynamic identifier "dyn.<extension>" that
// conforms to public.data. Identifiers compare case-insensitively; extension lookup is case-insensitive.
#pragma once

#include <QString>

namespace kx {

// The identifier that claims the extension (given without its dot) among the types that conform to
// `conformingTo`; a dynamic identifier when none does. An empty extension has no identifier (empty string).
QString uniformTypeForExtension(const QString& extension,
                                const QString& conformingTo = QStringLiteral("public.data"));

// True when `type` is `ancestor` or reaches it through the conformance graph. A dynamic identifier
// conforms to public.data and public.item; an identifier the table does not know conforms only to itself.
bool uniformTypeConformsTo(const QString& type, const QString& ancestor);

// Identifier equality: case-insensitive, empty identifiers equal nothing.
bool uniformTypeEquals(const QString& a, const QString& b);

// Whether the identifier was made up for an extension that no declared type claims.
bool isDynamicUniformType(const QString& type);

}  // namespace kx
