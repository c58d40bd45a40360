// Renders the metadata form offscreen, one PNG per tab plus the date panel and an
// open drop-down list, filled with two photos whose texts mix scripts:
//   velloran_form_screenshots OUTDIR
#include "WidgetTestSupport.h"
#include "controls/AttachedPopupTable.h"
#include "form/widgets/DatePanelView.h"
#include "form/widgets/MetadataFormView.h"
#include "model/MetaDataObject.h"
#include "model/PhotoFile.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using F = MetadataField;

namespace {

std::shared_ptr<PhotoFile> photo(const QString& artist, const QString& software)
{
    auto file = std::make_shared<PhotoFile>();
    auto record = std::make_shared<MetaDataObject>();
    file->metadataObject = record;
    MetaDataObject& r = *record;
    r.setArtist(artist);
    r.setImageDescription(QStringLiteral("Закат над Невой, вид с Дворцового моста"));
    r.setCopyright(QStringLiteral("© 2024 Zoë Müller — tous droits réservés"));
    r.setSoftware(software);
    r.setUserComment(QStringLiteral("Première neige à Kraków — 初雪の夜"));
    r.setCam_Make(QStringLiteral("FUJIFILM"));
    r.setCam_ModelName(QStringLiteral("X-T5"));
    r.setCam_SerialNumber(QStringLiteral("5AB01234"));
    r.setDate_Original(QStringLiteral("2024:01:15 18:42:07"));
    r.setDate_Creation(QStringLiteral("2024:01:15 18:42:07"));
    r.setCamSetting_ISO(QStringLiteral("400"));
    r.setCamSetting_FNumber(QStringLiteral("5.6"));
    r.setCamSetting_FocalLength(QStringLiteral("35"));
    r.setCamSetting_Flash(QStringLiteral("16"));
    r.setCamSetting_Orientation(QStringLiteral("1"));
    r.setAdvCamSetting_ColorSpace(QStringLiteral("1"));
    r.setAdvCamSetting_ExposureProgram(QStringLiteral("3"));
    r.setAdvCamSetting_ExposureTime(QStringLiteral("1/250"));
    r.setAdvCamSetting_MateringMode(QStringLiteral("5"));
    r.setLens_LensMake(QStringLiteral("FUJIFILM"));
    r.setLens_LensModel(QStringLiteral("XF35mmF1.4 R"));
    r.setGPS_Lattitude(QStringLiteral("50.0614"));
    r.setGPS_LattitudeRef(QStringLiteral("N"));
    r.setGPS_Longitude(QStringLiteral("19.9366"));
    r.setGPS_LongitudeRef(QStringLiteral("E"));
    r.setGPS_Altitude(QStringLiteral("219"));
    r.setGPS_AltitudeRef(QStringLiteral("0"));
    r.setIPTC_ByLine(QStringLiteral("Анна Петрова"));
    r.setIPTC_Headline(QStringLiteral("Ночной город · 夜の街"));
    r.setIPTC_Keywords(QStringLiteral("hiver, 雪, ночь, Kraków"));
    r.setIPTC_City(QStringLiteral("Kraków"));
    r.setIPTC_ProvinceState(QStringLiteral("Małopolskie"));
    r.setIPTC_CountryPrimaryLocationName(QStringLiteral("Polska"));
    r.setIPTC_CountryPrimaryLocationCode(QStringLiteral("POL"));
    r.setIPTC_DateCreated(QStringLiteral("2024-01-15"));
    r.setIPTC_Credit(QStringLiteral("Agência Fotográfica São João"));
    r.setXMP_Lens(QStringLiteral("XF35mmF1.4 R"));
    r.setXMP_Keyword(QStringLiteral("snow; 雪; снег"));
    r.setXMP_CreationDate(QStringLiteral("2024-01-15T18:42:07+01:00"));
    r.setXMP_Latitude(QStringLiteral("50.0614"));
    r.setXMP_Longitude(QStringLiteral("19.9366"));
    file->isSelected = true;
    return file;
}

// The form with any pop-up of it drawn where it stands.
QImage render(MetadataFormView& form)
{
    QPixmap shot = form.grab();
    QPainter painter(&shot);
    for (QWidget* other : QApplication::topLevelWidgets()) {
        if (other != &form && other->isVisible() && other->parentWidget() == &form)
            painter.drawPixmap(other->geometry().topLeft() - form.geometry().topLeft(), other->grab());
    }
    return shot.toImage();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        qWarning("usage: velloran_form_screenshots OUTDIR");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir home;
    isolateUserFolders(home.path());

    MetadataFormView form;
    form.resize(660, 900);
    form.show();
    QSignalSpy filled(&form, &MetadataFormView::mergedRecordChanged);
    form.setupUIForSelectedPhotoFiles({ photo(QStringLiteral("山田 太郎"), QStringLiteral("Velloran 1.0")),
        photo(QStringLiteral("Zoë Müller"), QStringLiteral("Capture 23")) });
    if (!filled.wait(5000))
        return 1;

    // A few edits, typed as a user types them: outlined fields and one error line.
    form.showTab(FormTab::Camera);
    QTest::keyClicks(form.findChild<QLineEdit*>(QStringLiteral("txtCam_OwnerName")), QStringLiteral("Studio Nord"));
    QTest::keyClicks(
        form.findChild<QLineEdit*>(QStringLiteral("txtCamSetting_FocalLengthIn35mmFormat")), QStringLiteral("70000"));

    int result = 0;
    for (const FormTabInfo& tab : FormFieldTable::tabs()) {
        form.showTab(tab.tab);
        auto* area = form.findChild<QWidget*>(QStringLiteral("vwMetaDataFields"));
        settleEvents();
        form.resize(660, std::clamp(area->sizeHint().height() + 130, 420, 1500));
        settleEvents();
        const QString name = QStringLiteral("form-%1.png").arg(tab.objectName.mid(2).toLower());
        if (!render(form).save(out.filePath(name)))
            result = 1;
    }

    // The date panel over the date tab, shifting the modification date.
    form.showTab(FormTab::DateTime);
    form.resize(660, 760);
    settleEvents();
    form.findChild<QToolButton*>(QStringLiteral("btnDatePickerDate_Modify"))->click();
    settleEvents();
    form.datePanel().findChild<QRadioButton*>(QStringLiteral("btnIncDecTime"))->click();
    settleEvents();
    if (!render(form).save(out.filePath(QStringLiteral("form-date-panel.png"))))
        result = 1;
    form.datePopup().dismissPanel();

    // The flash list open on the camera tab.
    form.showTab(FormTab::Camera);
    settleEvents();
    QTest::qWait(AttachedPopupTable::kEnableButtonsDelayMs + 50);
    form.findChild<QToolButton*>(QStringLiteral("btnDropDownCamSetting_Flash"))->click();
    settleEvents();
    if (!render(form).save(out.filePath(QStringLiteral("form-drop-down.png"))))
        result = 1;
    form.dropDownPopup().dismissPanel();
    return result;
}
