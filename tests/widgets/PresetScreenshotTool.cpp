// Renders the preset window and the metadata viewer offscreen into PNGs: the
// preset window with three presets, one open; the viewer for a photo with a GPS
// position and for one without:
//   velloran_preset_screenshots OUTDIR SAMPLESDIR
#include "WidgetTestSupport.h"
#include "controls/EditorContext.h"
#include "viewer/widgets/MetaDataPopupView.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"
#include "presets/PresetListModel.h"
#include "presets/widgets/PresetView.h"
#include "presets/widgets/PresetWindow.h"

#include <QApplication>
#include <QDir>
#include <QThreadPool>

namespace {

std::shared_ptr<MetaDataObject> preset(const QString& name)
{
    auto record = std::make_shared<MetaDataObject>();
    record->name = name;
    return record;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const ScreenshotFolders folders(argc, argv, "velloran_preset_screenshots");
    if (!folders.ok())
        return 2;
    const QDir& out = folders.out;
    const QDir& samples = folders.samples;
    int result = 0;

    // The preset window, the second preset open with a few fields and a date setting.
    QList<std::shared_ptr<MetaDataObject>> presets { preset(QStringLiteral("Urlaub – Ålesund")),
        preset(QStringLiteral("Студия · 山田")), preset(QStringLiteral("Wedding 2026")) };
    MetaDataObject& open = *presets.at(1);
    open.setArtist(QStringLiteral("Анна Петрова"));
    open.setCopyright(QStringLiteral("© 2026 山田 太郎"));
    open.setSoftware(QStringLiteral("Velloran"));
    open.setImageDescription(QStringLiteral("Portrait session, north light"));
    for (MetadataField field :
        { MetadataField::Artist, MetadataField::Copyright, MetadataField::Software, MetadataField::ImageDescription })
        open.setUpdated(field, true);
    PresetListModel model(presets);
    EditorContext context;
    PresetWindow window(model, context);
    window.show();
    window.setupUIForSelectedPresetObject(presets.at(1));
    settleEvents();
    if (!window.grab().save(out.filePath(QStringLiteral("preset-window.png"))))
        result = 1;

    QList<std::shared_ptr<PhotoFile>> photos { std::make_shared<PhotoFile>(
                                                   samples.filePath(QStringLiteral("gps/DSCN0010.jpg")), false),
        std::make_shared<PhotoFile>(samples.filePath(QStringLiteral("camera/Canon_40D.jpg")), false) };
    MetaDataPopupView viewer(photos);
    if (!shootViewer(viewer, 0, out.filePath(QStringLiteral("viewer-gps.png"))))
        result = 1;
    if (!shootViewer(viewer, 1, out.filePath(QStringLiteral("viewer-no-gps.png"))))
        result = 1;
    QThreadPool::globalInstance()->waitForDone();
    return result;
}
