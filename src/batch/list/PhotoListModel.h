#pragma once

#include <QAbstractListModel>
#include <QFuture>
#include <QHash>
#include <QList>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QSet>
#include <atomic>
#include <memory>

class PhotoFile;
class ThumbnailCache;

// The photo list: one row per photo of the batch list, which the application
// owns; the model is its only writer. A row's data comes from memory only (the
// record and the thumbnail cache), never from a file. Every row index that
// reaches the model is checked against the count.
class PhotoListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        FileNameRole = Qt::UserRole + 1, // also Qt::DisplayRole
        FilePathRole, // also Qt::ToolTipRole
        IsSelectedRole, // bool: the check mark; also Qt::CheckStateRole
        ThumbnailRole, // QImage, null until loaded; also Qt::DecorationRole
        ThumbnailStateRole, // int, a ThumbnailCache::State
        TypeIconNamesRole, // QStringList: the icon-theme names that stand in for a file without a pixel size
    };

    explicit PhotoListModel(QList<std::shared_ptr<PhotoFile>>& photos, QObject* parent = nullptr);
    ~PhotoListModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // Qt::CheckStateRole or IsSelectedRole sets the check mark.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Thumbnails come from this cache; rows showing a path repaint when its thumbnail arrives.
    void setThumbnailCache(ThumbnailCache* cache);
    // Loads the thumbnails of rows first to last (clamped), e.g. the visible rows once scrolling rests.
    void requestThumbnails(int firstRow, int lastRow);

    // The photo at a row; null when the row is not in the list.
    std::shared_ptr<PhotoFile> photoAt(int row) const;
    std::shared_ptr<PhotoFile> photoAt(const QModelIndex& index) const;
    int rowOfPath(const QString& path) const;
    bool containsPath(const QString& path) const { return rowOfPath(path) >= 0; }
    // The paths of the batch list, for the duplicate test of an adding.
    QSet<QString> pathsInBatch() const;
    int count() const { return int(m_photos.size()); }
    bool isEmpty() const { return m_photos.isEmpty(); }
    // "Photos" for an empty list, else "Photos(n)".
    QString countLabelText() const;

    // Appends photos in one insertion (intake hands them over in chunks).
    void appendPhotos(const QList<std::shared_ptr<PhotoFile>>& photos);
    // Tells the views that the batch list was replaced or changed by someone else.
    void reload();

    // Check marks. A row or index outside the list changes nothing and answers false.
    bool toggleCheckMark(int row);
    bool toggleCheckMark(const QPersistentModelIndex& index);
    // Unmarks every photo when all are marked (an empty list counts as all marked),
    // else marks every photo. Answers true when it marked.
    bool markUnmarkAll();
    // Marks every photo.
    void selectAll();
    QList<std::shared_ptr<PhotoFile>> checkedPhotos() const;
    int checkedCount() const;

    // Removal. Each answers the number of photos removed.
    int removeCheckedPhotos();
    int removePhoto(const std::shared_ptr<PhotoFile>& photo);
    int removePhotos(const QList<std::shared_ptr<PhotoFile>>& photos);

    // What a request for a row's photo menu opens: nothing for a row outside the
    // list, the "not at the source" alert for a photo whose file is gone.
    enum class PhotoMenuOpening { Nothing, MissingPhotoAlert, Menu };
    PhotoMenuOpening photoMenuOpening(int row) const;

    // Tests on a worker which photos are missing at their path, then removes them
    // here and emits missingPhotoScanFinished. False while a scan runs.
    bool startMissingPhotoScan();
    // The photos of a snapshot whose file is gone (the scan's worker part).
    static QList<std::shared_ptr<PhotoFile>> missingPhotos(
        const QList<std::shared_ptr<PhotoFile>>& snapshot, const std::atomic<bool>& stop);

signals:
    // The set of marked photos changed: hand checkedPhotos() to the form.
    void checkedPhotosChanged();
    void countChanged();
    void photosRemoved(int count);
    void missingPhotoScanFinished(int removedCount);

private:
    void rebuildPathIndex();
    void emitCheckMarksChanged(int first, int last);
    void onThumbnailChanged(const QString& path);

    QList<std::shared_ptr<PhotoFile>>& m_photos;
    // Each photo's row, found by its path's hash. The index holds numbers alone, so
    // that growing it, at a hand-off of tens of thousands of photos, moves small
    // entries and reads no path. Two paths of one hash (which a 64-bit hash all but
    // never gives) keep the second in a table of paths.
    QHash<size_t, int> m_rowOfHash;
    QHash<QString, int> m_rowOfCollidedPath;
    void indexRow(int row);
    QPointer<ThumbnailCache> m_thumbnails;
    bool m_scanning = false;
    std::shared_ptr<std::atomic<bool>> m_stopScan;
    QFuture<void> m_scan;
};
