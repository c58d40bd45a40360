#include "batch/list/PhotoListModel.h"

#include "base/Logging.h"
#include "batch/list/ThumbnailCache.h"
#include "model/PhotoFile.h"

#include <QFileInfo>
#include <QtConcurrent>
#include <algorithm>

PhotoListModel::PhotoListModel(QList<std::shared_ptr<PhotoFile>>& photos, QObject* parent)
    : QAbstractListModel(parent)
    , m_photos(photos)
    , m_stopScan(std::make_shared<std::atomic<bool>>(false))
{
    rebuildPathIndex();
}

PhotoListModel::~PhotoListModel()
{
    *m_stopScan = true;
    m_scan.waitForFinished();
}

int PhotoListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant PhotoListModel::data(const QModelIndex& index, int role) const
{
    const std::shared_ptr<PhotoFile> photo = photoAt(index);
    if (!photo)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case FileNameRole:
        return photo->fileName;
    case Qt::ToolTipRole:
    case FilePathRole:
        return photo->filePath;
    case IsSelectedRole:
        return photo->isSelected;
    case Qt::CheckStateRole:
        return photo->isSelected ? Qt::Checked : Qt::Unchecked;
    case Qt::DecorationRole:
    case ThumbnailRole:
        return m_thumbnails ? m_thumbnails->thumbnail(photo->filePath) : QImage();
    case ThumbnailStateRole:
        return int(m_thumbnails ? m_thumbnails->state(photo->filePath) : ThumbnailCache::State::Missing);
    case TypeIconNamesRole:
        return m_thumbnails ? m_thumbnails->typeIconNames(photo->filePath) : QStringList();
    default:
        return {};
    }
}

bool PhotoListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    const std::shared_ptr<PhotoFile> photo = photoAt(index);
    if (!photo || (role != Qt::CheckStateRole && role != IsSelectedRole))
        return false;
    const bool selected = role == Qt::CheckStateRole ? value.toInt() == Qt::Checked : value.toBool();
    if (photo->isSelected != selected) {
        photo->isSelected = selected;
        emitCheckMarksChanged(index.row(), index.row());
    }
    return true;
}

Qt::ItemFlags PhotoListModel::flags(const QModelIndex& index) const
{
    // A row selection means nothing here: photos are marked through their check marks.
    if (!photoAt(index))
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsUserCheckable;
}

QHash<int, QByteArray> PhotoListModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(FileNameRole, "fileName");
    names.insert(FilePathRole, "filePath");
    names.insert(IsSelectedRole, "isSelected");
    names.insert(ThumbnailRole, "thumbnail");
    names.insert(ThumbnailStateRole, "thumbnailState");
    names.insert(TypeIconNamesRole, "typeIconNames");
    return names;
}

void PhotoListModel::setThumbnailCache(ThumbnailCache* cache)
{
    if (m_thumbnails)
        disconnect(m_thumbnails, nullptr, this, nullptr);
    m_thumbnails = cache;
    if (cache) {
        connect(cache, &ThumbnailCache::thumbnailReady, this, &PhotoListModel::onThumbnailChanged);
        connect(cache, &ThumbnailCache::thumbnailUnavailable, this, &PhotoListModel::onThumbnailChanged);
    }
}

void PhotoListModel::requestThumbnails(int firstRow, int lastRow)
{
    if (!m_thumbnails || isEmpty())
        return;
    firstRow = std::clamp(firstRow, 0, count() - 1);
    lastRow = std::clamp(lastRow, 0, count() - 1);
    QStringList paths;
    for (int row = firstRow; row <= lastRow; ++row)
        paths.append(m_photos.at(row)->filePath);
    m_thumbnails->request(paths);
}

void PhotoListModel::onThumbnailChanged(const QString& path)
{
    const int row = rowOfPath(path);
    if (row >= 0)
        emit dataChanged(index(row), index(row), { ThumbnailRole, ThumbnailStateRole, TypeIconNamesRole, Qt::DecorationRole });
}

std::shared_ptr<PhotoFile> PhotoListModel::photoAt(int row) const
{
    if (row < 0 || row >= count())
        return nullptr;
    return m_photos.at(row);
}

std::shared_ptr<PhotoFile> PhotoListModel::photoAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return photoAt(index.row());
}

int PhotoListModel::rowOfPath(const QString& path) const
{
    const auto it = m_rowOfHash.constFind(qHash(path));
    if (it != m_rowOfHash.cend() && m_photos.at(*it)->filePath == path)
        return *it;
    return m_rowOfCollidedPath.value(path, -1);
}

void PhotoListModel::indexRow(int row)
{
    const QString& path = m_photos.at(row)->filePath;
    const size_t hash = qHash(path);
    const auto it = m_rowOfHash.find(hash);
    if (it == m_rowOfHash.end())
        m_rowOfHash.insert(hash, row);
    else if (m_photos.at(*it)->filePath == path)
        *it = row; // the same path again: the later row, as for any key
    else
        m_rowOfCollidedPath.insert(path, row);
}

QSet<QString> PhotoListModel::pathsInBatch() const
{
    QSet<QString> paths;
    paths.reserve(m_photos.size());
    for (const std::shared_ptr<PhotoFile>& photo : std::as_const(m_photos))
        paths.insert(photo->filePath);
    return paths;
}

QString PhotoListModel::countLabelText() const
{
    return isEmpty() ? QStringLiteral("Photos") : QStringLiteral("Photos(%1)").arg(count());
}

void PhotoListModel::appendPhotos(const QList<std::shared_ptr<PhotoFile>>& photos)
{
    if (photos.isEmpty())
        return;
    const int first = count();
    beginInsertRows(QModelIndex(), first, first + int(photos.size()) - 1);
    m_photos.append(photos);
    for (int row = first; row < count(); ++row)
        indexRow(row);
    endInsertRows();
    emit countChanged();
}

void PhotoListModel::reload()
{
    beginResetModel();
    rebuildPathIndex();
    endResetModel();
    emit countChanged();
    emit checkedPhotosChanged();
}

void PhotoListModel::rebuildPathIndex()
{
    m_rowOfHash.clear();
    m_rowOfCollidedPath.clear();
    m_rowOfHash.reserve(m_photos.size());
    for (int row = 0; row < count(); ++row)
        indexRow(row);
}

void PhotoListModel::emitCheckMarksChanged(int first, int last)
{
    if (first <= last)
        emit dataChanged(index(first), index(last), { IsSelectedRole, Qt::CheckStateRole });
    emit checkedPhotosChanged();
}

bool PhotoListModel::toggleCheckMark(int row)
{
    const std::shared_ptr<PhotoFile> photo = photoAt(row);
    if (!photo)
        return false;
    photo->isSelected = !photo->isSelected;
    emitCheckMarksChanged(row, row);
    return true;
}

bool PhotoListModel::toggleCheckMark(const QPersistentModelIndex& index)
{
    // A persistent index follows its photo through removals and is invalid once
    // the photo is gone, so a delayed click never lands on another photo.
    if (!index.isValid() || index.model() != this)
        return false;
    return toggleCheckMark(index.row());
}

bool PhotoListModel::markUnmarkAll()
{
    const bool allMarked
        = std::all_of(m_photos.cbegin(), m_photos.cend(), [](const auto& photo) { return photo->isSelected; });
    for (const auto& photo : std::as_const(m_photos))
        photo->isSelected = !allMarked;
    emitCheckMarksChanged(0, count() - 1);
    return !allMarked;
}

void PhotoListModel::selectAll()
{
    for (const auto& photo : std::as_const(m_photos))
        photo->isSelected = true;
    emitCheckMarksChanged(0, count() - 1);
}

QList<std::shared_ptr<PhotoFile>> PhotoListModel::checkedPhotos() const
{
    QList<std::shared_ptr<PhotoFile>> checked;
    for (const auto& photo : std::as_const(m_photos)) {
        if (photo->isSelected)
            checked.append(photo);
    }
    return checked;
}

int PhotoListModel::checkedCount() const
{
    return int(std::count_if(m_photos.cbegin(), m_photos.cend(), [](const auto& photo) { return photo->isSelected; }));
}

int PhotoListModel::removeCheckedPhotos()
{
    return removePhotos(checkedPhotos());
}

int PhotoListModel::removePhoto(const std::shared_ptr<PhotoFile>& photo)
{
    return removePhotos({ photo });
}

int PhotoListModel::removePhotos(const QList<std::shared_ptr<PhotoFile>>& photos)
{
    QSet<const PhotoFile*> doomed;
    for (const auto& photo : photos)
        doomed.insert(photo.get());
    QList<int> rows;
    for (int row = 0; row < count(); ++row) {
        if (doomed.contains(m_photos.at(row).get()))
            rows.append(row);
    }
    if (rows.isEmpty())
        return 0;
    // Contiguous runs from the end, so the rows still to remove keep their numbers.
    for (qsizetype end = rows.size(); end > 0;) {
        qsizetype begin = end - 1;
        while (begin > 0 && rows.at(begin - 1) == rows.at(begin) - 1)
            --begin;
        const int first = rows.at(begin);
        const int last = rows.at(end - 1);
        beginRemoveRows(QModelIndex(), first, last);
        m_photos.remove(first, last - first + 1);
        endRemoveRows();
        end = begin;
    }
    rebuildPathIndex();
    const int removed = int(rows.size());
    emit countChanged();
    emit checkedPhotosChanged();
    emit photosRemoved(removed);
    return removed;
}

PhotoListModel::PhotoMenuOpening PhotoListModel::photoMenuOpening(int row) const
{
    const std::shared_ptr<PhotoFile> photo = photoAt(row);
    if (!photo)
        return PhotoMenuOpening::Nothing;
    return QFileInfo::exists(photo->filePath) ? PhotoMenuOpening::Menu : PhotoMenuOpening::MissingPhotoAlert;
}

QList<std::shared_ptr<PhotoFile>> PhotoListModel::missingPhotos(
    const QList<std::shared_ptr<PhotoFile>>& snapshot, const std::atomic<bool>& stop)
{
    QList<std::shared_ptr<PhotoFile>> missing;
    for (qsizetype i = snapshot.size() - 1; i >= 0 && !stop; --i) {
        if (!QFileInfo::exists(snapshot.at(i)->filePath))
            missing.append(snapshot.at(i));
    }
    return missing;
}

bool PhotoListModel::startMissingPhotoScan()
{
    if (m_scanning)
        return false;
    m_scanning = true;
    const QList<std::shared_ptr<PhotoFile>> snapshot = m_photos;
    const std::shared_ptr<std::atomic<bool>> stop = m_stopScan;
    m_scan = QtConcurrent::run([this, snapshot, stop] {
        const QList<std::shared_ptr<PhotoFile>> missing = missingPhotos(snapshot, *stop);
        if (*stop)
            return;
        QMetaObject::invokeMethod(
            this,
            [this, missing] {
                m_scanning = false;
                const int removed = removePhotos(missing);
                qCInfo(lcBatch) << "removed" << removed << "photos missing at their source";
                emit missingPhotoScanFinished(removed);
            },
            Qt::QueuedConnection);
    });
    return true;
}
