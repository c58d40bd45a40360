// Renders the renaming page with a few options chosen, and the summary of a real
// run over copies of the sample photos that ends with errors and warnings:
//   velloran_batch_screenshots OUTDIR
#include "WidgetTestSupport.h"
#include "batch/run/BatchRunner.h"
#include "batch/run/BatchSnapshot.h"
#include "batch/run/BatchTexts.h"
#include "batch/naming/widgets/OutputOptionsPage.h"
#include "batch/run/widgets/ProcessProgressSheet.h"
#include "batch/run/widgets/SummaryWindow.h"
#include "controls/EditorContext.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"
#include "platform/Exiv2Setup.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

QString g_samples;

std::shared_ptr<PhotoFile> addPhoto(const QString& sample, const QString& target)
{
    return tickedCopy(g_samples + u'/' + sample, target);
}

bool save(QWidget& widget, const QString& path)
{
    widget.show();
    QTest::qWait(50);
    return widget.grab().save(path);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        qWarning("usage: velloran_batch_screenshots OUTDIR SAMPLESDIR");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    g_samples = QDir::cleanPath(QString::fromLocal8Bit(argv[2]));
    initializeExiv2();
    QTemporaryDir home(QDir::tempPath() + u"/velloran-shots-XXXXXX"_s);
    isolateUserFolders(home.path());

    // The renaming page: a prefix, the date as a suffix, city and country, the size.
    EditorContext context;
    OutputOptionsPage page(context);
    page.resize(640, 560);
    page.btnOutputRenamingOptionTapped(true);
    page.btnEditingNameOptionTapped(OutputOptionsModel::Option::PrefixSuffix);
    QTest::keyClicks(page.findChild<QLineEdit*>(u"txtAddPrefixString"_s), u"Trip_"_s);
    page.btnEditingNameOptionTapped(OutputOptionsModel::Option::Date);
    page.model().chooseFromList(25, 1);
    page.model().chooseFromList(27, 16);
    page.btnEditingNameOptionTapped(OutputOptionsModel::Option::Location);
    page.btnEXIFLocationTypeTapped(OutputOptionsModel::LocationPart::Place);
    page.btnEXIFLocationTypeTapped(OutputOptionsModel::LocationPart::State);
    page.btnEditingNameOptionTapped(OutputOptionsModel::Option::Size);
    page.disableEnableAllButtonsWhenDropdownOpen(false);
    bool ok = save(page, out + u"/batch-renaming-page.png"_s);

    // A run with errors and warnings: a photo gone from its folder, a damaged file, a
    // raw file whose camera stays, photos without a date or a place for the new name,
    // and names made unique.
    const QString sources = home.path() + u"/Pictures/Holiday 2026"_s;
    QList<std::shared_ptr<PhotoFile>> photos {
        addPhoto(u"gps/DSCN0010.jpg"_s, sources + u"/DSCN0010.jpg"_s),
        addPhoto(u"camera/Canon_40D.jpg"_s, sources + u"/IMG_0040.jpg"_s),
        addPhoto(u"camera/Nikon_D70.jpg"_s, sources + u"/DSC_0070.jpg"_s),
        addPhoto(u"camera/PaintTool_sample.jpg"_s, sources + u"/scan-01.jpg"_s),
        addPhoto(u"tiff/Arbitro.tiff"_s, sources + u"/DSC_1001.NEF"_s),
        addPhoto(u"gps/DSCN0012.jpg"_s, sources + u"/DSCN0012.jpg"_s),
    };
    QFile::remove(photos[5]->filePath);
    const QString damaged = sources + u"/IMG_0099.jpg"_s;
    {
        QFile file(damaged);
        if (file.open(QIODevice::WriteOnly))
            file.write("not a photo at all");
    }
    auto broken = std::make_shared<PhotoFile>(damaged, false);
    broken->isSelected = true;
    photos.append(broken);

    MetaDataObject settings;
    settings.setField(MetadataField::Artist, u"Zoë Müller"_s);
    settings.setUpdated(MetadataField::Artist, true);
    settings.setField(MetadataField::Cam_Make, u"Another Maker"_s);
    settings.setUpdated(MetadataField::Cam_Make, true);
    OutputRenamingOptions options;
    options.ouptputFolderPathName = home.path() + u"/Pictures/Velloran"_s;
    options.renamingOptionIndex = 1;
    options.replaceFilenameCheck = 1;
    options.replaceFilename.customNameValue = u"Holiday"_s;
    options.addEXIFDateTimeCheck = 1;
    options.addEXIFDateTime.asValue = AddEXIFDateTime::After;
    options.addEXIFDateTime.formatValue = 15;
    options.addEXIFLocationCheck = 1;
    QDir().mkpath(options.ouptputFolderPathName);
    BatchRunner runner;
    QSignalSpy finished(&runner, &BatchRunner::finished);
    if (!runner.start(BatchSnapshot::forTickedPhotos(photos, settings, settings, options)) || !finished.wait(60000)) {
        qWarning("the run did not finish");
        return 1;
    }
    QList<SummaryRow> rows;
    const auto errors = runner.errorRecords();
    const auto warnings = runner.warningRecords();
    for (const auto& record : errors)
        rows.append(BatchTexts::summaryRow(*record));
    for (const auto& record : warnings)
        rows.append(BatchTexts::summaryRow(*record));
    // The progress sheet part way through such a run.
    ProcessProgressSheet progress;
    progress.startRun(photos.size(), false);
    progress.setCurrentPhoto(photos[1]->filePath);
    progress.setProgress(3, photos.size(), 1);
    // A sheet without its preview is still worth a picture.
    (void)QTest::qWaitFor(
        [&progress] {
            return !progress.findChild<QLabel*>(u"imgvwCurrentPhoto"_s)->pixmap().isNull()
                && progress.findChild<QLabel*>(u"imgvwCurrentPhoto"_s)->pixmap().width() > 64;
        },
        5000);
    ok = save(progress, out + u"/batch-progress.png"_s) && ok;

    SummaryWindow summary;
    summary.setSummmaryInfo(
        BatchTexts::summary(runner.state(), warnings.size(), QDateTime::currentDateTimeUtc()), std::move(rows));
    ok = save(summary, out + u"/batch-summary.png"_s) && ok;
    return ok ? 0 : 1;
}
