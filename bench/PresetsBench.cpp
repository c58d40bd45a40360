// The preset archive: reading 200 presets (and a hoard of 20,000, which must
// load in under a second) at start-up into the list the views show, and writing
// them, which happens after every change of a preset.
//
//   build/bench/velloran_bench --benchmark_filter=Presets

#include "model/MetaDataObject.h"
#include "model/ProjectSession.h"
#include "presets/PresetListModel.h"

#include <benchmark/benchmark.h>

namespace {

// Presets as people keep them: a name, a dozen fields with non-ASCII texts, a mode
// and two date rules each.
QList<std::shared_ptr<MetaDataObject>> makePresets(int count)
{
    QList<std::shared_ptr<MetaDataObject>> presets;
    for (int i = 0; i < count; ++i) {
        auto preset = std::make_shared<MetaDataObject>();
        preset->name = QStringLiteral("Préréglage %1 — 写真").arg(i);
        preset->setArtist(QStringLiteral("Zoë Ångström"));
        preset->setCopyright(QStringLiteral("© 2024 Zoë Ångström, all rights reserved"));
        preset->setImageDescription(QStringLiteral("Séance %1 au studio, lumière du nord").arg(i));
        preset->setUserComment(QStringLiteral("Комментарий %1").arg(i));
        preset->setCam_Make(QStringLiteral("Canon"));
        preset->setCam_ModelName(QStringLiteral("EOS R5"));
        preset->setLens_LensModel(QStringLiteral("RF24-70mm F2.8 L IS USM"));
        preset->setGPS_Lattitude(QStringLiteral("48.858370"));
        preset->setGPS_LattitudeRef(QStringLiteral("N"));
        preset->setGPS_Longitude(QStringLiteral("2.294481"));
        preset->setGPS_LongitudeRef(QStringLiteral("E"));
        preset->setIPTC_City(QStringLiteral("Paris"));
        preset->setIPTC_Keywords(QStringLiteral("studio, portrait, lumière, 写真"));
        preset->setXMP_Keyword(QStringLiteral("studio;portrait"));
        preset->editingOption = i % 3;
        preset->dateTimeConfigOriginalDate()->tagConfigureOption = 5;
        preset->dateTimeConfigOriginalDate()->stringIncDecHour = QStringLiteral("2");
        preset->dateTimeConfigModifyDate()->tagConfigureOption = 2;
        presets.append(std::move(preset));
    }
    return presets;
}

// Reads the archive into the preset list and its model as the application does at
// start-up, once per iteration; the list must come back whole.
void loadArchive(benchmark::State& state, const QByteArray& archive, qsizetype count)
{
    QList<std::shared_ptr<MetaDataObject>> presets;
    PresetListModel model(presets);
    for (auto _ : state) {
        presets = ProjectSession::unarchive(archive).presets;
        model.reload();
        benchmark::DoNotOptimize(model.rowCount());
    }
    if (presets.size() != count)
        state.SkipWithError("not every preset was read back");
    state.counters["archive_bytes"] = double(archive.size());
    state.counters["saved_again_bytes"] = double(ProjectSession::archivedData(presets).size());
}

void BM_PresetsLoad(benchmark::State& state)
{
    const int count = int(state.range(0));
    loadArchive(state, ProjectSession::archivedData(makePresets(count)), count);
}
BENCHMARK(BM_PresetsLoad)->Name("Presets/load")->Arg(200)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();

// An archive of presets that hold a few values each and leave every other
// setting out, as a hoard collected over years does: the whole list must be
// read in under a second.
void BM_PresetsLoadFewValues(benchmark::State& state)
{
    const int count = int(state.range(0));
    QByteArray archive = "{\"$class\":\"ProjectSession\",\"arrayPresets\":[";
    for (int i = 0; i < count; ++i) {
        archive += (i ? "," : "");
        archive += QStringLiteral("{\"$class\":\"MetaDataObject\",\"Artist\":\"Zoë %1\",\"name\":\"Préréglage %1\"}")
                       .arg(i)
                       .toUtf8();
    }
    archive += "]}";
    loadArchive(state, archive, count);
}
BENCHMARK(BM_PresetsLoadFewValues)
    ->Name("Presets/load-few-values")
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_PresetsSave(benchmark::State& state)
{
    const auto presets = makePresets(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(ProjectSession::archivedData(presets));
}
BENCHMARK(BM_PresetsSave)->Name("Presets/save")->Arg(200)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace
