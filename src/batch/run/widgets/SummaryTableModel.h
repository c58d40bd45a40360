#pragma once

#include "batch/run/BatchTexts.h"

#include <QAbstractTableModel>
#include <QList>

// The summary's error and warning table as a model: one row per record (the
// run's errors, then its warnings), the photo's path and the message, each with
// its text as tool tip; the message column carries the status icon and colour.
class SummaryTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn = 0, MessageColumn = 1, ColumnCount = 2 };

    using QAbstractTableModel::QAbstractTableModel;

    void setRows(QList<SummaryRow> rows);
    const QList<SummaryRow>& rows() const { return m_rows; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<SummaryRow> m_rows;
};
