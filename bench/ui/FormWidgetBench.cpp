// The metadata form's widget on the main thread: the fill after a merge of many
// ticked photos, and one keystroke in a form that speaks for them. Offscreen.
#include "form/SelectionMerge.h"
#include "form/widgets/MetadataFormView.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <benchmark/benchmark.h>

namespace {

// Photos that agree on half their fields and differ on the rest.
QList<std::shared_ptr<const MetaDataObject>> records(int count, const QString& tag = QString())
{
    QList<std::shared_ptr<const MetaDataObject>> list;
    for (int i = 0; i < count; ++i) {
        auto record = std::make_shared<MetaDataObject>();
        for (std::size_t f = 0; f < kMetadataFieldCount; ++f) {
            const auto field = static_cast<MetadataField>(f);
            record->setField(
                field, f % 2 ? QStringLiteral("shared %1%2").arg(f).arg(tag) : QStringLiteral("photo %1").arg(i));
        }
        list.append(record);
    }
    return list;
}

// Two selections in turn, so that every fill changes what the controls show.
void fillAfterMerge(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const MergeResult first = SelectionMerge::updateMetaDataObjectForSelectedFiles(records(count));
    const MergeResult second
        = SelectionMerge::updateMetaDataObjectForSelectedFiles(records(count, QStringLiteral(" b")));
    MetadataFormView form;
    form.resize(660, 800);
    form.show();
    bool odd = false;
    for (auto _ : state) {
        form.state().fill(odd ? first : second);
        odd = !odd;
    }
}
BENCHMARK(fillAfterMerge)->Arg(10000)->Unit(benchmark::kMillisecond);

void keystroke(benchmark::State& state)
{
    const MergeResult merged
        = SelectionMerge::updateMetaDataObjectForSelectedFiles(records(static_cast<int>(state.range(0))));
    MetadataFormView form;
    form.resize(660, 800);
    form.show();
    form.state().fill(merged);
    auto* artist = form.findChild<QLineEdit*>(QStringLiteral("txtArtist"));
    for (auto _ : state) {
        QTest::keyClick(artist, Qt::Key_A);
        if (artist->text().size() > 100)
            artist->clear();
    }
}
BENCHMARK(keystroke)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
