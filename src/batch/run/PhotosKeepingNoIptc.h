#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

class MetaDataObject;
class PhotoFile;

// The ticked photos a run would refuse whole because the form sets IPTC fields in
// them and their kind keeps no IPTC data (HEIC, HEIF, AVIF, CR3, WebP): the run asks about
// them before it starts, rather than refusing them one by one at its end. Which edits
// set IPTC data and which kinds keep none, the writer decides (ExifWriter::editSetsIptc,
// and ExifWriter::kindOf as the photo entered the list: the check opens no file).
struct PhotosKeepingNoIptc {
    int count = 0; // ticked photos the run would refuse so
    int ticked = 0; // every ticked photo
    QStringList kinds; // their kinds by content ("HEIC", "AVIF"), each once, in list order

    bool any() const { return count > 0; }
    bool all() const { return count > 0 && count == ticked; }
    // The kinds as a text: "HEIC", "HEIC and AVIF", "HEIC, AVIF and CR3".
    QString kindsText() const;

    // Among the ticked photos of the batch list, with the form's settings record;
    // from the records alone.
    static PhotosKeepingNoIptc among(const QList<std::shared_ptr<PhotoFile>>& batchList, const MetaDataObject& settings);
};
