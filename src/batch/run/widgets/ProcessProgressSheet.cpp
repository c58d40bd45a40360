#include "batch/run/widgets/ProcessProgressSheet.h"

#include "batch/list/ThumbnailCache.h"
#include "controls/GRProgressIndicator.h"
#include "controls/ImageNamed.h"

#include <QDir>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

ProcessProgressSheet::ProcessProgressSheet(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(u"winProcessProgress"_s);
    setWindowTitle(tr("Processing"));
    setFixedWidth(520);
    m_thumbnails = new ThumbnailCache(QSize(kPreviewWidth, kPreviewHeight), 8LL * 1024 * 1024, this);
    connect(m_thumbnails, &ThumbnailCache::thumbnailReady, this, &ProcessProgressSheet::showThumbnail);
    connect(m_thumbnails, &ThumbnailCache::thumbnailUnavailable, this, &ProcessProgressSheet::showThumbnail);
    m_photoInterval.setSingleShot(true);
    m_photoInterval.setInterval(kPhotoIntervalMs);
    connect(&m_photoInterval, &QTimer::timeout, this, [this] {
        if (m_shownPath != m_currentPath)
            showCurrentPhoto();
        else
            showCounts();
    });

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 18);
    layout->setSpacing(16);
    m_imgvwCurrentPhoto = new QLabel(this);
    m_imgvwCurrentPhoto->setObjectName(u"imgvwCurrentPhoto"_s);
    m_imgvwCurrentPhoto->setFixedSize(kPreviewWidth, kPreviewHeight);
    m_imgvwCurrentPhoto->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_imgvwCurrentPhoto, 0, Qt::AlignTop);

    auto* right = new QVBoxLayout;
    right->setSpacing(8);
    m_title = new QLabel(this);
    m_title->setObjectName(u"lblProcessTitle"_s);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    right->addWidget(m_title);
    m_progressIndicator = new GRProgressIndicator(this);
    m_progressIndicator->setObjectName(u"progressIndicator"_s);
    m_progressIndicator->setMinValue(0.0);
    m_progressIndicator->setMaxValue(100.0);
    m_progressIndicator->setFixedHeight(m_progressIndicator->sizeHint().height());
    right->addWidget(m_progressIndicator);
    m_lblProgressCounts = new QLabel(this);
    m_lblProgressCounts->setObjectName(u"lblProgressCounts"_s);
    right->addWidget(m_lblProgressCounts);
    m_lblCurrntFilePath = new QLabel(this);
    m_lblCurrntFilePath->setObjectName(u"lblCurrntFilePath"_s);
    // Two lines, whatever the path: a label that wraps would grow with a long path
    // and squeeze the bar out of the sheet.
    m_lblCurrntFilePath->setFixedHeight(2 * m_lblCurrntFilePath->fontMetrics().lineSpacing() + 2);
    m_lblCurrntFilePath->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_lblCurrntFilePath->setMinimumWidth(1);
    m_lblCurrntFilePath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_lblCurrntFilePath->installEventFilter(this);
    right->addWidget(m_lblCurrntFilePath);
    right->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_btnStopProcess = new QPushButton(tr("Stop"), this);
    m_btnStopProcess->setObjectName(u"btnStopProcess"_s);
    buttons->addWidget(m_btnStopProcess);
    right->addLayout(buttons);
    layout->addLayout(right, 1);

    connect(m_btnStopProcess, &QPushButton::clicked, this, [this] {
        // One press is enough: the photos in hand finish, then the run ends.
        m_btnStopProcess->setEnabled(false);
        m_btnStopProcess->setText(tr("Stopping…"));
        emit stopRequested();
    });
    startRun(0, false);
}

void ProcessProgressSheet::reject()
{
    if (m_btnStopProcess->isEnabled())
        m_btnStopProcess->click();
}

ProcessProgressSheet::~ProcessProgressSheet() = default;

void ProcessProgressSheet::startRun(qint64 runSize, bool isForRestore)
{
    m_title->setText(isForRestore ? tr("Restoring the metadata of the written photos…") : tr("Processing photos…"));
    m_btnStopProcess->setEnabled(true);
    m_btnStopProcess->setText(tr("Stop"));
    m_photoInterval.stop();
    m_currentPath.clear();
    m_shownPath.clear();
    m_lblCurrntFilePath->clear();
    m_lblCurrntFilePath->setToolTip({});
    m_progressIndicator->setDoubleValue(0.0);
    m_counts = { 0, runSize, 0 };
    showCounts();
    showPlaceholder();
}

void ProcessProgressSheet::setCurrentPhoto(const QString& filePath)
{
    m_currentPath = filePath;
    if (intervalOver())
        showCurrentPhoto();
}

void ProcessProgressSheet::showCurrentPhoto()
{
    m_shownPath = m_currentPath;
    m_photoInterval.start();
    showPath();
    showCounts();
    const ThumbnailCache::State state = m_thumbnails->state(m_shownPath);
    if (state == ThumbnailCache::State::Ready || state == ThumbnailCache::State::Unavailable) {
        showThumbnail(m_shownPath);
        return;
    }
    m_thumbnails->request({ m_shownPath });
}

void ProcessProgressSheet::showThumbnail(const QString& path)
{
    // A preview that arrives after the sheet has moved on to another photo is not shown.
    if (path != m_shownPath)
        return;
    const QImage image = m_thumbnails->thumbnail(path);
    if (!image.isNull()) {
        m_imgvwCurrentPhoto->setPixmap(QPixmap::fromImage(image).scaled(
            m_imgvwCurrentPhoto->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
        return;
    }
    // A file without a picture to draw (no pixel size) shows its type's icon, as the list does.
    if (m_thumbnails->state(path) == ThumbnailCache::State::Unavailable)
        m_imgvwCurrentPhoto->setPixmap(
            fileTypeImage(m_thumbnails->typeIconNames(path), QSize(64, 64), devicePixelRatioF()));
}

void ProcessProgressSheet::setProgress(qint64 handled, qint64 runSize, qint64 failed)
{
    // Drawn with the path, so that the two tell of the same moment.
    m_counts = { handled, runSize, failed };
    if (!intervalOver())
        return;
    if (m_shownPath != m_currentPath)
        showCurrentPhoto();
    else
        showCounts();
}

bool ProcessProgressSheet::intervalOver() const
{
    // The interval's timer may wait behind a stream of results on the main thread:
    // the sheet keeps pace with the run all the same, once an interval.
    return !m_photoInterval.isActive() || m_countsShown.hasExpired(kPhotoIntervalMs);
}

void ProcessProgressSheet::showCounts()
{
    m_countsShown.start();
    const auto [handled, runSize, failed] = m_counts;
    // Whole percent, as the bottom line shows it.
    m_progressIndicator->setDoubleValue(runSize > 0 ? double(handled * 100 / runSize) : 0.0);
    QString counts = tr("%1 of %2 photos processed").arg(handled).arg(runSize);
    if (failed > 0)
        counts += tr(", %n with an error", nullptr, int(failed));
    m_lblProgressCounts->setText(counts);
    emit countsShown();
}

void ProcessProgressSheet::showPath()
{
    const QString path = QDir::toNativeSeparators(m_shownPath);
    m_lblCurrntFilePath->setToolTip(path);
    const QFontMetrics metrics = m_lblCurrntFilePath->fontMetrics();
    const int width = m_lblCurrntFilePath->contentsRect().width();
    if (metrics.horizontalAdvance(path) <= width) {
        m_lblCurrntFilePath->setText(path);
        return;
    }
    // The folder on the first line, the file's name on the second.
    const qsizetype cut = path.lastIndexOf(QDir::separator()) + 1;
    m_lblCurrntFilePath->setText(metrics.elidedText(path.left(cut), Qt::ElideMiddle, width) + QLatin1Char('\n')
        + metrics.elidedText(path.mid(cut), Qt::ElideMiddle, width));
}

bool ProcessProgressSheet::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_lblCurrntFilePath && event->type() == QEvent::Resize && !m_shownPath.isEmpty())
        showPath();
    return QDialog::eventFilter(watched, event);
}

QString ProcessProgressSheet::countsText() const
{
    return m_lblProgressCounts->text();
}

void ProcessProgressSheet::showPlaceholder()
{
    // The run's last photo is done: what waited for the interval shows now.
    if (m_photoInterval.isActive()) {
        m_photoInterval.stop();
        if (m_shownPath != m_currentPath) {
            m_shownPath = m_currentPath;
            showPath();
        }
        showCounts();
    }
    m_imgvwCurrentPhoto->setPixmap(imageNamed(u"place_holder.png"_s, QSize(64, 64), devicePixelRatioF()));
}
