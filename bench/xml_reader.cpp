// Reading the XML project and template format stays linear in the size of the file, whatever it holds.
// Measured (bytes per second in each counter):
// - BM_AttributesOfOneElement/N: one element with N attributes; past the limit of 256 the document is
//   refused by the input check, before the parser's pairwise duplicate check would run (200,000 attributes
//   took 44 s when they reached it);
// - BM_PageObjects/N: a template of N photo objects with their usual attributes, up to the limit of 10,000;
// - BM_EmptyElements/N: N empty elements; past 100,000 the reading stops there (8 MB of them, the file
//   size limit, would be two million);
// - BM_EntityReferences/N: N references to a 4,000-character entity; past 256 the document is refused
//   (100,000 references took 37 s when they were expanded).
#include "document/project_info.h"

#include <benchmark/benchmark.h>

namespace {

QByteArray attributes(int count) {
    QByteArray xml = "<root><sceneobject";
    for (int i = 0; i < count; ++i)
        xml += " a" + QByteArray::number(i) + "=\"" + QByteArray::number(i) + "\"";
    return xml + "/></root>";
}

QByteArray pageObjects(int count) {
    QByteArray xml = "<root><info Version=\"7\"/><project PageCount=\"1\"/><scenegraph ImageSizeX=\"2480\" ImageSizeY=\"3508\">";
    const QByteArray object =
        "<sceneobject Type=\"0\" Version=\"4\" BoundingBoxLeft=\"170\" BoundingBoxTop=\"170\" BoundingBoxRight=\"2310\" "
        "BoundingBoxBottom=\"2070\" Angle=\"0\" Transparent=\"1.0\" Visible=\"1\" EffectName=\"Original\" RoundWidth=\"0\" "
        "EnableMask=\"0\" EnableFrame=\"1\" EnableShadow=\"1\" ShadowColor=\"0\" ShadowAlpha=\"45\" ShadowSmooth=\"8\" "
        "ShadowAngle=\"315\" ShadowOffsetX=\"8\" BorderType=\"0\" ColorBorderColor=\"16777215\" ColorBorderWidth=\"14\"/>\n";
    for (int i = 0; i < count; ++i)
        xml += object;
    return xml + "</scenegraph></root>";
}

QByteArray emptyElements(int count) {
    QByteArray xml = "<root>";
    for (int i = 0; i < count; ++i)
        xml += "<a/>";
    return xml + "</root>";
}

QByteArray entityReferences(int count) {
    QByteArray xml = "<!DOCTYPE root [<!ENTITY e \"" + QByteArray(4000, 'x') + "\">]><root>";
    for (int i = 0; i < count; ++i)
        xml += "&e;";
    return xml + "</root>";
}

void read(benchmark::State& state, const QByteArray& xml) {
    setXMLErrorPresenter([](const QString&) {});
    for (auto _ : state)
        benchmark::DoNotOptimize(KXProjectInfo::initWithData(xml));
    state.SetBytesProcessed(state.iterations() * xml.size());
    setXMLErrorPresenter({});
}

void BM_AttributesOfOneElement(benchmark::State& state) { read(state, attributes(int(state.range(0)))); }
BENCHMARK(BM_AttributesOfOneElement)->Arg(64)->Arg(256)->Arg(257)->Arg(200000)->Unit(benchmark::kMillisecond);

void BM_PageObjects(benchmark::State& state) { read(state, pageObjects(int(state.range(0)))); }
BENCHMARK(BM_PageObjects)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_EmptyElements(benchmark::State& state) { read(state, emptyElements(int(state.range(0)))); }
BENCHMARK(BM_EmptyElements)->Arg(99999)->Arg(2000000)->Unit(benchmark::kMillisecond);

void BM_EntityReferences(benchmark::State& state) { read(state, entityReferences(int(state.range(0)))); }
BENCHMARK(BM_EntityReferences)->Arg(256)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
