// The preset archive: reading 200 presets at start-up into the list the views
// show, and writing them, which happens after every change of a preset.
//
//   build/bench/velloran_bench --benchmark_filter=Presets

#include "model/MetaDataObject.h"
#include "model/ProjectSession.h"
#include "presets/PresetListModel.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kPresetCount = 200;

// Presets as people keep them: a name, a dozen fields with non-ASCII texts, a mode
// and two date rules each.
QList<std::shared_ptr<MetaDataObject>> makePresets()
{
    QList<std::shared_ptr<MetaDataObject>> presets;
    for (int i = 0; i < kPresetCount; ++i) {
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

const QByteArray& archive()
{
    static const QByteArray data = ProjectSession::archivedData(makePresets());
    return data;
}

void BM_PresetsLoad(benchmark::State& state)
{
    QList<std::shared_ptr<MetaDataObject>> presets;
    PresetListModel model(presets);
    for (auto _ : state) {
        presets = ProjectSession::unarchive(archive()).presets;
        model.reload();
        benchmark::DoNotOptimize(model.rowCount());
    }
    if (presets.size() != kPresetCount)
        state.SkipWithError("not every preset was read back");
    state.counters["archive_bytes"] = double(archive().size());
}
BENCHMARK(BM_PresetsLoad)->Name("Presets/load-200")->Unit(benchmark::kMillisecond);

void BM_PresetsSave(benchmark::State& state)
{
    const auto presets = makePresets();
    for (auto _ : state)
        benchmark::DoNotOptimize(ProjectSession::archivedData(presets));
}
BENCHMARK(BM_PresetsSave)->Name("Presets/save-200")->Unit(benchmark::kMillisecond);

} // namespace
