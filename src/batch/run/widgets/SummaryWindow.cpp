#include "batch/run/widgets/SummaryWindow.h"

#include "batch/run/widgets/SummaryTableModel.h"
#include "controls/LinkButton.h"

#include <QAction>
#include <QBitArray>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QKeyEvent>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace {

// Paths keep both ends when cut, messages their beginning.
class SummaryRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = index.column() == SummaryTableModel::NameColumn ? Qt::ElideMiddle : Qt::ElideRight;
    }
};

// A table whose rows wrap their texts, each row as high as its texts need. Laying
// out a wrapped text is costly, so a row is sized only when it is painted, at the
// widths its columns have then: a run with a hundred thousand warnings shows its
// summary as fast as one with ten. A row not yet shown has the one-line height.
class SummaryTableView : public QTableView {
public:
    explicit SummaryTableView(QWidget* parent)
        : QTableView(parent)
    {
        verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
        setWordWrap(true);
    }

    void setModel(QAbstractItemModel* model) override
    {
        QTableView::setModel(model);
        // The header gives every row the one-line height again.
        connect(model, &QAbstractItemModel::modelReset, this, [this] { m_sized.clear(); });
    }

protected:
    bool event(QEvent* event) override
    {
        // Ctrl+A selects every row here (and Ctrl+C then copies them all), before the
        // window behind the summary takes it for its own Select All.
        if (event->type() == QEvent::ShortcutOverride
            && static_cast<QKeyEvent*>(event)->matches(QKeySequence::SelectAll)) {
            event->accept();
            return true;
        }
        return QTableView::event(event);
    }
    void paintEvent(QPaintEvent* event) override
    {
        sizeShownRows();
        QTableView::paintEvent(event);
    }

private:
    // Sizes the rows from the top of the view to its bottom that have not been
    // sized at the present column widths. At the end of the list the last rows are
    // sized too and the view goes back to the end, so the last row is seen whole.
    void sizeShownRows()
    {
        const int rows = model() ? model()->rowCount() : 0;
        QList<int> widths;
        for (int column = 0; column < horizontalHeader()->count(); ++column)
            widths.append(columnWidth(column));
        if (m_sized.size() != rows || widths != m_widths) {
            m_sized.fill(false, rows);
            m_widths = widths;
        }
        if (rows == 0)
            return;
        const int height = viewport()->height();
        const QScrollBar* bar = verticalScrollBar();
        const bool atEnd = bar->maximum() > 0 && bar->value() == bar->maximum();
        bool changed = false;
        int row = std::max(rowAt(0), 0);
        for (int y = rowViewportPosition(row); row < rows && y < height; ++row) {
            changed = sizeRow(row) || changed;
            y += rowHeight(row);
        }
        if (atEnd && changed) {
            for (int filled = 0, last = rows - 1; last >= 0 && filled < height; --last) {
                sizeRow(last);
                filled += rowHeight(last);
            }
            QMetaObject::invokeMethod(
                this,
                [this] {
                    updateGeometries();
                    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
                },
                Qt::QueuedConnection);
        }
    }

    // Whether the row's height changed.
    bool sizeRow(int row)
    {
        if (m_sized.testBit(row))
            return false;
        m_sized.setBit(row);
        const int before = rowHeight(row);
        resizeRowToContents(row);
        return rowHeight(row) != before;
    }

    QBitArray m_sized; // the rows sized at m_widths
    QList<int> m_widths;
};

const QColor kAccentBlue(0, 56, 175);

QLabel* valueLabel(QWidget* parent, const QString& name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, kAccentBlue);
    label->setPalette(palette);
    return label;
}

} // namespace

SummaryWindow::SummaryWindow(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(u"winSummary"_s);
    setWindowTitle(tr("Summary"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->setSpacing(10);

    m_lblSummaryTitle = new QLabel(this);
    m_lblSummaryTitle->setObjectName(u"lblSummaryTitle"_s);
    QFont titleFont = m_lblSummaryTitle->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() + 4);
    m_lblSummaryTitle->setFont(titleFont);
    layout->addWidget(m_lblSummaryTitle);

    auto* form = new QFormLayout;
    form->setHorizontalSpacing(16);
    m_lblBatchCountSummary = valueLabel(this, u"lblBatchCountSummary"_s);
    m_lblPhotoProcessedSummary = valueLabel(this, u"lblPhotoProcessedSummary"_s);
    m_lblPhotoSkippedSummary = valueLabel(this, u"lblPhotoSkippedSummary"_s);
    m_lblTimeElapsedSummary = valueLabel(this, u"lblTimeElapsedSummary"_s);
    form->addRow(tr("Batch Count:"), m_lblBatchCountSummary);
    form->addRow(tr("Photos Processed:"), m_lblPhotoProcessedSummary);
    form->addRow(tr("Photos Skipped:"), m_lblPhotoSkippedSummary);
    form->addRow(tr("Time Elapsed:"), m_lblTimeElapsedSummary);

    auto* folderBox = new QWidget(this);
    auto* folderLayout = new QHBoxLayout(folderBox);
    folderLayout->setContentsMargins(0, 0, 0, 0);
    m_btnOpenOutputFolder = new LinkButton(folderBox);
    m_btnOpenOutputFolder->setObjectName(u"btnOpenOutputFolder"_s);
    m_lblOutputDirectorySummary = new QLabel(folderBox);
    m_lblOutputDirectorySummary->setObjectName(u"lblOutputDirectorySummary"_s);
    m_lblOutputDirectorySummary->hide();
    m_txtDestinationSourceFolder = new QLabel(tr("Each photo was saved in its own source folder."), folderBox);
    m_txtDestinationSourceFolder->setObjectName(u"txtDestinationSourceFolder"_s);
    m_txtDestinationSourceFolder->hide();
    folderLayout->addWidget(m_btnOpenOutputFolder);
    folderLayout->addWidget(m_lblOutputDirectorySummary);
    folderLayout->addWidget(m_txtDestinationSourceFolder);
    folderLayout->addStretch();
    form->addRow(tr("Output Folder:"), folderBox);
    layout->addLayout(form);

    m_lblErrorsSummary = new QLabel(this);
    m_lblErrorsSummary->setObjectName(u"lblErrorsSummary"_s);
    QFont bold = m_lblErrorsSummary->font();
    bold.setBold(true);
    m_lblErrorsSummary->setFont(bold);
    layout->addWidget(m_lblErrorsSummary);

    m_vwErrorTable = new QWidget(this);
    m_vwErrorTable->setObjectName(u"vwErrorTable"_s);
    auto* tableLayout = new QVBoxLayout(m_vwErrorTable);
    tableLayout->setContentsMargins(0, 0, 0, 0);
    m_tblErrorSummary = new SummaryTableView(m_vwErrorTable);
    m_tblErrorSummary->setObjectName(u"tblErrorSummary"_s);
    m_model = new SummaryTableModel(this);
    m_tblErrorSummary->setModel(m_model);
    // Rows can be selected and copied (Ctrl+C) to pass a message on whole.
    m_tblErrorSummary->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tblErrorSummary->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tblErrorSummary->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tblErrorSummary->verticalHeader()->hide();
    m_tblErrorSummary->verticalHeader()->setDefaultSectionSize(26);
    // A long message wraps in its row, so it reads whole however narrow the window.
    m_tblErrorSummary->setShowGrid(false);
    m_tblErrorSummary->setItemDelegate(new SummaryRowDelegate(m_tblErrorSummary));
    auto* copy = new QAction(m_tblErrorSummary);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copy, &QAction::triggered, this, &SummaryWindow::copySelectedRows);
    m_tblErrorSummary->addAction(copy);
    m_tblErrorSummary->horizontalHeader()->setSectionResizeMode(
        SummaryTableModel::NameColumn, QHeaderView::Interactive);
    m_tblErrorSummary->horizontalHeader()->setStretchLastSection(true);
    m_tblErrorSummary->setColumnWidth(SummaryTableModel::NameColumn, 300);
    tableLayout->addWidget(m_tblErrorSummary);
    layout->addWidget(m_vwErrorTable, 1);
    // Without the table, the room a larger window gives goes below the counts,
    // which stay together under the title.
    layout->addStretch();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_btnCloseSummary = new QPushButton(tr("Close"), this);
    m_btnCloseSummary->setObjectName(u"btnCloseSummary"_s);
    m_btnCloseSummary->setDefault(true);
    buttons->addWidget(m_btnCloseSummary);
    layout->addLayout(buttons);

    connect(
        m_btnOpenOutputFolder, &QPushButton::clicked, this, [this] { emit openOutputFolderRequested(m_outputFolder); });
    connect(m_btnCloseSummary, &QPushButton::clicked, this, &SummaryWindow::closeRequested);
    // Escape closes the sheet as its button does.
    connect(this, &QDialog::rejected, this, &SummaryWindow::closeRequested);
}

void SummaryWindow::setSummmaryInfo(const SummaryTexts& texts, QList<SummaryRow> rows)
{
    m_lblSummaryTitle->setText(texts.title);
    m_lblBatchCountSummary->setText(texts.batchCount);
    m_lblPhotoProcessedSummary->setText(texts.processed);
    m_lblPhotoSkippedSummary->setText(texts.skipped);
    m_lblTimeElapsedSummary->setText(texts.elapsed.trimmed());

    m_outputFolder = texts.location.folder;
    m_lblOutputDirectorySummary->setText(m_outputFolder);
    // The link reads at the size of the texts around it.
    m_btnOpenOutputFolder->setTitle(QDir::toNativeSeparators(m_outputFolder), font().pointSizeF(), false, kAccentBlue);
    m_btnOpenOutputFolder->setToolTip(tr("Open the folder"));
    m_btnOpenOutputFolder->setVisible(texts.location.showLink);
    m_txtDestinationSourceFolder->setVisible(texts.location.showNote);

    m_lblErrorsSummary->setText(texts.errorsAndWarnings);
    m_lblErrorsSummary->setVisible(texts.showsErrorTable);
    m_vwErrorTable->setVisible(texts.showsErrorTable);
    m_model->setRows(std::move(rows));
    // The size the texts ask for is the least; the window can grow and be maximised.
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setMinimumSize(kWidth, texts.height);
    resize(kWidth, texts.height);
}

void SummaryWindow::copySelectedRows()
{
    // Straight from the rows, range by range: a copy of every row of a big run
    // stays quick.
    const QList<SummaryRow>& rows = m_model->rows();
    QBitArray taken(rows.size());
    QString text;
    for (const QItemSelectionRange& range : m_tblErrorSummary->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            if (row < 0 || row >= rows.size() || taken.testBit(row))
                continue;
            taken.setBit(row);
            if (!text.isEmpty())
                text += u'\n';
            text += QDir::toNativeSeparators(rows[row].name) + u'\t' + rows[row].message;
        }
    }
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}
