// A resource folder of images for fill tests, made once per test run and kept until it ends (the
// placeholder path of custom fills is remembered for the whole process).
#pragma once

#include "model/model_classes.h"
#include "platform/foundation/bundle.h"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kxtest {

struct FillResources {
    QTemporaryDir dir;
    QString resources;
    QString quadrants;  // 10 × 10: red top-left, green top-right, blue bottom-left, white bottom-right
    QString bands;      // 40 × 10: red x < 10, green 10 ≤ x < 30, blue from 30
    QString paperJpg, paperPng;
    QString outside;    // an image beside, not inside, the resource folder
    QString notAnImage;

    FillResources() {
        const QString root = dir.path();
        resources = root + QStringLiteral("/app/Resources");
        QDir().mkpath(resources + QStringLiteral("/Backgrounds/Paper"));
        QImage placeholder(8, 8, QImage::Format_RGB32);
        placeholder.fill(Qt::gray);
        placeholder.save(resources + QStringLiteral("/bk_custom.png"));

        QImage q(10, 10, QImage::Format_RGB32);
        QPainter p(&q);
        p.fillRect(0, 0, 5, 5, Qt::red);
        p.fillRect(5, 0, 5, 5, Qt::green);
        p.fillRect(0, 5, 5, 5, Qt::blue);
        p.fillRect(5, 5, 5, 5, Qt::white);
        p.end();
        quadrants = resources + QStringLiteral("/quadrants.png");
        q.save(quadrants);

        QImage b(40, 10, QImage::Format_RGB32);
        QPainter pb(&b);
        pb.fillRect(0, 0, 10, 10, Qt::red);
        pb.fillRect(10, 0, 20, 10, Qt::green);
        pb.fillRect(30, 0, 10, 10, Qt::blue);
        pb.end();
        bands = resources + QStringLiteral("/bands.png");
        b.save(bands);

        paperJpg = resources + QStringLiteral("/Backgrounds/Paper/p1.jpg");
        paperPng = resources + QStringLiteral("/Backgrounds/Paper/p1.png");
        q.save(paperJpg);
        q.save(paperPng);
        outside = root + QStringLiteral("/app/outside.png");
        q.save(outside);
        notAnImage = resources + QStringLiteral("/notes.png");
        QFile text(notAnImage);
        if (text.open(QIODevice::WriteOnly))
            text.write("not an image");

        kx::Bundle::setMainResourcePath(resources);
        registerModelClasses();
    }

    static FillResources& shared() {
        static FillResources instance;
        return instance;
    }
};

class FillTest : public ::testing::Test {
protected:
    void SetUp() override {
        res = &FillResources::shared();
        ASSERT_TRUE(res->dir.isValid());
        kx::Bundle::setMainResourcePath(res->resources);
    }
    FillResources* res = nullptr;
};

}  // namespace kxtest
