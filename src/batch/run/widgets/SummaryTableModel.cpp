#include "batch/run/widgets/SummaryTableModel.h"

#include "controls/ImageNamed.h"

#include <QColor>
#include <QDir>
#include <QIcon>

void SummaryTableModel::setRows(QList<SummaryRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int SummaryTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int SummaryTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SummaryTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_rows.size())
        return {};
    const SummaryRow& row = m_rows[index.row()];
    const bool isName = index.column() == NameColumn;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return isName ? QDir::toNativeSeparators(row.name) : row.message;
    case Qt::DecorationRole:
        if (isName)
            return QIcon(imageNamed(row.icon, QSize(16, 16)));
        return {};
    case Qt::ForegroundRole:
        if (isName)
            return {};
        // A dark amber: a brighter yellow is hard to read on white.
        return row.colour == SummaryRow::Colour::Red ? QColor(200, 30, 30) : QColor(150, 100, 0);
    default:
        return {};
    }
}

QVariant SummaryTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == NameColumn ? tr("Photo") : tr("Message");
}
