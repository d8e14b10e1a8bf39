#include "output/canvas_psd_export.h"

#include "model/canvas.h"
#include "model/canvas_psd_layers.h"
#include "platform/foundation/atomic_file.h"

namespace {

// Hands the page's layers to a PSD writer and keeps the first refusal.
class PSDLayerSink : public KXLayeredImageWriter {
public:
    explicit PSDLayerSink(int dotsPerInch) : m_dotsPerInch(dotsPerInch) {}
    bool initWithDocumentSize(const kx::Size& size) override {
        writer = PSDWriter(size);
        writer.setDotsPerInch(m_dotsPerInch);
        return true;
    }
    bool addLayerWithCGImage(const kx::Image& image, const QString& name, float opacity,
                             const kx::Point& offset) override {
        return writer.addLayerWithCGImage(image, name, opacity, offset, &error);
    }

    PSDWriter writer;
    PSDError error;

private:
    int m_dotsPerInch;
};

void fail(PSDError* error, const QString& name, const QString& reason) {
    if (error)
        *error = {name, reason};
}

}  // namespace

QByteArray psdDataOfCanvas(const KXCanvas& page, const kx::Size& size, PSDError* error, int dotsPerInch) {
    PSDLayerSink sink(dotsPerInch);
    if (!page.canRenderOutputSize(size)) {
        fail(error, QStringLiteral("PSDSizeUnusable"), QStringLiteral("The output size cannot be rendered"));
        return {};
    }
    if (!addLayersOfCanvas(page, size, sink)) {
        if (sink.error.name.isEmpty())
            fail(error, QStringLiteral("PSDLayerUnavailable"), QStringLiteral("A layer of the page could not be made"));
        else if (error)
            *error = sink.error;
        return {};
    }
    return sink.writer.createPSDData(error);
}

bool savePSDImageToPath(const KXCanvas& page, const QString& path, const kx::Size& size, PSDError* error,
                        int dotsPerInch) {
    const QByteArray data = psdDataOfCanvas(page, size, error, dotsPerInch);
    if (data.isEmpty())
        return false;
    QString reason;
    if (!kx::writeFileAtomically(path, data, &reason)) {
        fail(error, QStringLiteral("NSFileWriteUnknownError"), reason);
        return false;
    }
    return true;
}
