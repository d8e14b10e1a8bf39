// The small pictures of the template browser's cells, drawn once per name and size: the favourite star
// ("Favorite_in" set, "Favorite_out" clear), the delete badge ("DeleteTemplate", pressed "_down") and the
// page arrows ("PreTemplate", "NextTemplate", each also "_down" pressed and "_disable" off).
#pragma once

#include <QImage>
#include <QString>

namespace kx::templates {

// A null image for an unknown name.
QImage cellOverlayImage(const QString& name, int side);

}  // namespace kx::templates
