// The page both photo-page benchmarks measure: 50 photo shapes shown at 1600 x 1200, from sources of
// 3000 x 2000 and 4000 x 3000 pixels, with masks, single-image frames (grey mask or margins), expandable
// frames, colour filters, borders with rounded corners and drop shadows mixed. Its resources live in a
// temporary resource folder made once per process.
#pragma once

#include "canvas/canvas_layer.h"
#include "graphics/photo_filter.h"
#include "model/canvas.h"
#include "model/frame.h"
#include "model/page_size.h"
#include "model/photo.h"
#include "model/shadow.h"
#include "model/shape.h"
#include "model/stroke.h"
#include "platform/foundation/bundle.h"
#include "synthetic_photo.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace kxbench {

constexpr int kShapes = 50;
constexpr int kSources = 10;

// Source images, masks and frames in a temporary resource folder, made once.
struct Resources {
    QTemporaryDir dir;
    QString res;
    std::vector<QString> sources;
    QString mask;
    QString maskedFrame;
    QString marginFrame;

    Resources() {
        res = dir.filePath(QStringLiteral("Resources"));
        QDir().mkpath(res + QStringLiteral("/Frame/Simple"));
        QDir().mkpath(res + QStringLiteral("/Frame/Wood/Material"));
        QDir().mkpath(res + QStringLiteral("/Mask/Shapes"));
        for (int i = 0; i < kSources; ++i) {
            const bool large = i % 2 == 1;
            const QString path = dir.filePath(QStringLiteral("source%1.jpg").arg(i));
            writeSyntheticPhoto(path, large ? 4000 : 3000, large ? 3000 : 2000, i * 36, 40);
            sources.push_back(path);
        }
        QImage oval(400, 400, QImage::Format_Grayscale8);
        oval.fill(0);
        {
            QPainter painter(&oval);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setBrush(Qt::white);
            painter.setPen(Qt::NoPen);
            painter.drawEllipse(QRectF(10, 10, 380, 380));
        }
        mask = res + QStringLiteral("/Mask/Shapes/oval.png");
        oval.save(mask);

        QImage frame(400, 300, QImage::Format_ARGB32_Premultiplied);
        frame.fill(Qt::transparent);
        {
            QPainter painter(&frame);
            painter.setPen(QPen(QColor(120, 80, 40), 30));
            painter.drawRect(QRectF(15, 15, 370, 270));
        }
        maskedFrame = res + QStringLiteral("/Frame/Simple/wood.png");
        frame.save(maskedFrame);
        QImage frameMask(400, 300, QImage::Format_Grayscale8);
        frameMask.fill(0);
        {
            QPainter painter(&frameMask);
            painter.fillRect(QRect(30, 30, 340, 240), Qt::white);
        }
        frameMask.save(res + QStringLiteral("/Frame/Simple/wood.jpg"), "JPG", 95);
        marginFrame = res + QStringLiteral("/Frame/Simple/plain.png");
        frame.save(marginFrame);
        QFile margins(res + QStringLiteral("/Frame/Simple/plain.frm"));
        margins.open(QIODevice::WriteOnly);
        margins.write(R"(<Frame MarginLeft="30" MarginRight="30" MarginTop="30" MarginBottom="30"/>)");
        margins.close();

        QFile description(res + QStringLiteral("/Frame/Wood/Wood.xml"));
        description.open(QIODevice::WriteOnly);
        description.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>type</key><string>wood</string><key>expansion</key><real>12</real>
<key>width</key><real>24</real></dict></plist>)");
        description.close();
        const char* pieces[] = {"lb", "lt", "rt", "rb", "bottom", "top", "left", "right"};
        for (const char* piece : pieces) {
            QImage image(48, 48, QImage::Format_RGB32);
            image.fill(QColor(90, 60, 30));
            image.save(res + QStringLiteral("/Frame/Wood/Material/") + QLatin1String(piece) + QStringLiteral(".png"));
        }
        kx::Bundle::setMainResourcePath(res);
    }
};

inline Resources& resources() {
    static Resources r;
    return r;
}

struct Page {
    std::shared_ptr<KXCanvasLayer> layer;
    std::vector<std::shared_ptr<KXShape>> shapes;
};

inline Page buildPage() {
    Resources& r = resources();
    Page page;
    page.layer = KXCanvasLayer::create();
    KXCanvas* canvas = page.layer->canvas();
    const KXSize size(3200, 2400, KXSizeUnitPixel, 72);
    canvas->setPageSize(&size);
    page.layer->setFrame({0, 0, 1600, 1200});
    for (int i = 0; i < kShapes; ++i) {
        auto shape = std::make_shared<KXShape>();
        shape->setText(nullptr);
        canvas->addGraph(shape);
        const int column = i % 10, row = i / 10;
        shape->setRelativeRect({(20 + column * 158) / 1600.0, (20 + row * 236) / 1200.0, 130 / 1600.0,
                                190 / 1200.0});
        shape->setAngle(((i % 5) - 2) * 0.04);
        KXPhoto& photo = *shape->photo();
        photo.setImagePath(r.sources[std::size_t(i % kSources)]);
        switch (i % 5) {
        case 0: photo.setMaskName(r.mask); break;
        case 1: photo.setFrame(KXFrame::frameWithName(r.maskedFrame)); break;
        case 2: photo.setFrame(KXFrame::frameWithName(r.marginFrame)); break;
        case 3: photo.setFrame(KXFrame::frameWithName(QStringLiteral("Wood"), 1)); break;
        default:
            photo.variableFilter()->setSaturation(0.4f);
            photo.variableFilter()->setBrightness(0.1f);
            shape->stroke()->setWidth(1.5);
            shape->stroke()->setColor(kx::Color::srgb(1, 1, 1, 1));
            shape->setStrokeEnabled(true);
            photo.setRoundCornerRadius(30);
            break;
        }
        if (i % 4 == 0) {
            shape->shadow()->setColor(kx::Color::srgb(0, 0, 0, 0.5));
            shape->setShadowEnabled(true);
        }
        shape->setSelected(false);
        page.shapes.push_back(shape);
    }
    return page;
}

}  // namespace kxbench
