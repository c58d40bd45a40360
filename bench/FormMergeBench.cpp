// The metadata form over many ticked photos: the merge off the main thread, the
// fill on it (records, placeholders and every field's display text), and one
// keystroke.
//
//   build/bench/velloran_bench --benchmark_filter=Form

#include "form/DropDownTables.h"
#include "form/FormDisplay.h"
#include "form/MetadataFormState.h"
#include "form/SelectionMerge.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"

#include <benchmark/benchmark.h>
#include <map>

namespace {

// A text of its own (not shared with any other record), as a photo read from its
// file holds it: the merge must compare the characters.
QString own(const QString& text)
{
    return QString(text.constData(), text.size());
}

// Photos of one shoot: camera, lens, rights, place and most settings alike (the
// merge compares them all the way down the list), dates, exposure and position
// different for each photo.
QList<std::shared_ptr<PhotoFile>> makePhotos(int count)
{
    const auto sharedSetting = std::make_shared<DateTimeConfiguration>();
    QList<std::shared_ptr<PhotoFile>> photos;
    photos.reserve(count);
    for (int i = 0; i < count; ++i) {
        auto record = std::make_shared<MetaDataObject>();
        for (const MetadataFieldInfo& info : kMetadataFields) {
            const QString name = QString::fromLatin1(info.name.data(), static_cast<qsizetype>(info.name.size()));
            const bool differs = info.group == FieldGroup::Date || info.group == FieldGroup::GPS
                || info.field == MetadataField::AdvCamSetting_ExposureTime || info.field == MetadataField::XMP_Keyword;
            record->setField(info.field,
                differs ? QStringLiteral("%1 of photo %2").arg(name).arg(i) : own(QStringLiteral("Shared ") + name));
        }
        // Six date settings per photo only cost memory here; the merge never reads them.
        for (const DateSettingInfo& info : kDateSettings)
            record->setDateTimeConfig(info.setting, sharedSetting);
        auto photo = std::make_shared<PhotoFile>();
        photo->metadataObject = std::move(record);
        photo->isSelected = true;
        photos.append(std::move(photo));
    }
    return photos;
}

const QList<std::shared_ptr<PhotoFile>>& photosOf(int count)
{
    static std::map<int, QList<std::shared_ptr<PhotoFile>>> cache;
    auto it = cache.find(count);
    if (it == cache.end())
        it = cache.emplace(count, makePhotos(count)).first;
    return it->second;
}

// What the worker does: merge the records taken on the main thread.
void BM_FormMerge(benchmark::State& state)
{
    const auto records = SelectionMerge::recordsOf(photosOf(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        MergeResult result = SelectionMerge::updateMetaDataObjectForSelectedFiles(records, 1);
        benchmark::DoNotOptimize(result.merged);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FormMerge)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// What the main thread does around it: take the records before the merge, then
// fill the form and make the text of every control.
void BM_FormTakeAndFill(benchmark::State& state)
{
    const auto& photos = photosOf(static_cast<int>(state.range(0)));
    const MergeResult result
        = SelectionMerge::updateMetaDataObjectForSelectedFiles(SelectionMerge::recordsOf(photos), 1);
    DropDownTables tables;
    MetadataFormState form;
    form.editField(MetadataField::Artist, QStringLiteral("kept edit"));
    for (auto _ : state) {
        auto records = SelectionMerge::recordsOf(photos);
        benchmark::DoNotOptimize(records);
        form.fill(result);
        for (const FormField& f : FormFieldTable::sharedTable().fields()) {
            QString text = FormDisplay::displayText(f, form.displayRecord(), tables);
            benchmark::DoNotOptimize(text);
        }
    }
}
BENCHMARK(BM_FormTakeAndFill)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// One keystroke in a form that speaks for many photos.
void BM_FormKeystroke(benchmark::State& state)
{
    const auto& photos = photosOf(static_cast<int>(state.range(0)));
    MetadataFormState form;
    form.fill(SelectionMerge::updateMetaDataObjectForSelectedFiles(SelectionMerge::recordsOf(photos), 1));
    int i = 0;
    for (auto _ : state)
        form.editField(MetadataField::IPTC_Headline, QStringLiteral("Headline %1").arg(++i));
}
BENCHMARK(BM_FormKeystroke)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace
