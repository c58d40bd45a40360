#include "BenchOutputMarks.h"

#include "model/MetadataRestorePoint.h"
#include "model/PhotoFile.h"
#include "platform/FileReplacer.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QStringList>
#include <xxhash.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QString marksFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + u"/velloran/bench-outputs"_s;
}

QJsonObject readObject(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
}

} // namespace

BenchOutputMarks::BenchOutputMarks(const BenchArguments& arguments)
    : m_folder(QFileInfo(arguments.outputDir.isEmpty() ? arguments.sourceDir : arguments.outputDir)
                   .absoluteFilePath())
{
    const QByteArray key = QFile::encodeName(m_folder);
    m_file = marksFolder() + u'/'
        + QString::number(quint64(XXH3_64bits(key.constData(), size_t(key.size()))), 16) + u".json"_s;
    const QJsonObject outputs = readObject(m_file).value(u"outputs"_s).toObject();
    for (auto it = outputs.begin(); it != outputs.end(); ++it) {
        // The five numbers as one text: a JSON number would lose the last digits of a time in nanoseconds.
        const QStringList numbers = it.value().toString().split(u' ');
        bool read = numbers.size() == 5;
        const auto number = [&](int i) {
            bool ok = false;
            const qint64 value = numbers.value(i).toLongLong(&ok);
            read = read && ok;
            return value;
        };
        const MetadataRestorePoint::WrittenFile mark { quint64(number(0)), quint64(number(1)), number(2), number(3),
            number(4) };
        if (read)
            m_marks.insert(it.key(), mark);
    }
}

void BenchOutputMarks::applyTo(const QList<BatchRunner::WrittenPhoto>& written) const
{
    for (const auto& [photo, output] : written) {
        const auto it = m_marks.constFind(output);
        if (it != m_marks.cend())
            photo->restorePoint = std::make_shared<MetadataRestorePoint>(MetadataRestorePoint { {}, *it });
    }
}

void BenchOutputMarks::record(const QList<std::shared_ptr<PhotoFile>>& photos, bool restoreRun)
{
    for (const std::shared_ptr<PhotoFile>& photo : photos) {
        if (photo->processedPath.isEmpty())
            continue;
        if (photo->restorePoint && photo->restorePoint->output)
            m_marks.insert(photo->processedPath, *photo->restorePoint->output);
        else if (restoreRun && photo->processStatus == MetadataWriteResult::Processed)
            m_marks.remove(photo->processedPath);
    }
    // The marks of folders that are gone are of no use.
    QDirIterator files(marksFolder(), { u"*.json"_s }, QDir::Files);
    while (files.hasNext()) {
        const QString path = files.next();
        if (path != m_file && !QFileInfo::exists(readObject(path).value(u"folder"_s).toString()))
            QFile::remove(path);
    }
    if (m_marks.isEmpty()) {
        QFile::remove(m_file);
        return;
    }
    QJsonObject outputs;
    for (auto it = m_marks.cbegin(); it != m_marks.cend(); ++it)
        outputs.insert(it.key(),
            u"%1 %2 %3 %4 %5"_s.arg(qint64(it->device)).arg(qint64(it->inode)).arg(it->size).arg(it->modified).arg(
                it->changed));
    const QJsonObject record { { u"folder"_s, m_folder }, { u"outputs"_s, outputs } };
    if (QDir().mkpath(marksFolder()))
        FileReplacer::replace(m_file, QJsonDocument(record).toJson(QJsonDocument::Compact), {});
}
