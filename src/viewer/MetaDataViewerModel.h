#pragma once

#include "viewer/MetaDataViewerLocation.h"
#include "model/MetadataFields.h"

#include <QAbstractTableModel>
#include <QImage>
#include <QList>
#include <QLocale>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <array>
#include <functional>
#include <memory>

class MetaDataObject;
class PhotoFile;

// What the metadata viewer shows for one photo of the batch list: the name, size
// and path beside the thumbnail, 67 titled values read fresh from the file, and
// where the map puts its pin. A read-only table of two columns (title, value),
// one row per value; it is empty until a photo is shown.
//
// The coded values (flash mode, orientation, references, country code …) are shown
// as the form's drop-down labels, which the caller supplies as a function of the
// drop-down tag and the record.
class MetaDataViewerModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TitleColumn = 0, ValueColumn = 1 };

    // How a row takes its value from the record.
    enum class RowKind {
        Field, // the field's text
        Option, // the drop-down label of the tag's stored code
        Date, // a "yyyy:MM:dd HH:mm:ss" date in the user's locale
        XmpDate, // an XMP date ("T" between date and time) in the user's locale
    };
    struct RowSpec {
        const char* title;
        RowKind kind;
        MetadataField field; // for Field, Date and XmpDate
        int tag; // for Option
    };
    static constexpr int kRowCount = 67;
    static const std::array<RowSpec, kRowCount> kRows;

    // The text shown for an empty value.
    static inline const QString kEmptyValue = QStringLiteral("---");

    using LabelForOption = std::function<QString(int tag, const MetaDataObject& record)>;

    // photos is the batch list; it must outlive the model.
    MetaDataViewerModel(
        const QList<std::shared_ptr<PhotoFile>>& photos, LabelForOption labelForOption, QObject* parent = nullptr);
    ~MetaDataViewerModel() override;

    // Shows the photo whose batch-list index the user info holds under
    // "selectedIndex". An index that is missing, no whole number, negative or
    // beyond the list shows nothing new and answers false.
    bool setupViewNotification(const QVariantMap& userInfo);
    // The same for an index; reads the photo's record from its file.
    bool showPhotoAtIndex(qsizetype index);
    // Shows a photo with a record already read.
    void showPhoto(const PhotoFile& photo, const MetaDataObject& record);

    // The locale dates are shown in; the user's own unless set.
    void setLocale(const QLocale& locale) { m_locale = locale; }

    qsizetype currentIndex() const { return m_currentIndex; }
    const QString& imageName() const { return m_imageName; }
    // Size on disk and pixel size, "1.2 MB | 4000 X 3000".
    const QString& imageSizeText() const { return m_imageSizeText; }
    const QString& imagePath() const { return m_imagePath; }
    const MetaDataViewerLocation& location() const { return m_location; }
    QString titleAt(int row) const;
    QString valueAt(int row) const;

    // Makes the photo's thumbnail off the main thread; thumbnailReady follows unless
    // another photo is shown first. A file without a picture to draw (no pixel size)
    // gives a null image and the icon-theme names of its type, which stand in for it.
    void requestThumbnail(QSize size);

    // A date text shown in the locale: month abbreviation, day, comma, year and a
    // 12-hour time ("May 04,2019 10:11:12 AM" in English); "" when no form reads it.
    static QString localizedDate(const QString& text, bool isXmpDate, const QLocale& locale);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

signals:
    // After the rows, the texts and the location have changed.
    void photoShown();
    void thumbnailReady(const QImage& image, const QStringList& typeIconNames);

private:
    QString rowValue(const RowSpec& row, const MetaDataObject& record) const;

    const QList<std::shared_ptr<PhotoFile>>& m_photos;
    LabelForOption m_labelForOption;
    QLocale m_locale = QLocale::system();
    qsizetype m_currentIndex = -1;
    QString m_imageName;
    QString m_imageSizeText;
    QString m_imagePath;
    QStringList m_values;
    MetaDataViewerLocation m_location;
    quint64 m_generation = 0; // counts the photos shown, so a late thumbnail of an earlier one is dropped
};
