#pragma once

#include <QPersistentModelIndex>
#include <QPoint>
#include <QStyledItemDelegate>
#include <QTimer>

// Paints one row of the photo list (40 points high) from the model's data alone:
// the check mark, the thumbnail (or its placeholder), the file name and path, and
// the "More options" button. It turns clicks into the list owner's messages:
//
// - a click on the check mark waits 0.2 s: a single click then reports
//   checkBoxSelected, a double (or triple) click cellDoubleClicked. Both name the
//   photo that was under the pointer when the button went down (a persistent
//   index), never whatever row holds that index later;
// - the "More options" button reports infoTapped(point, row, false), a right click
//   anywhere on the row infoTapped(point, row, true); the point is in the
//   coordinates of `container` (the view holding the list), where the menu opens.
class PhotoThumbnailCell : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 40;
    static constexpr int kClickDelayMs = 200;

    explicit PhotoThumbnailCell(QWidget* container, QObject* parent = nullptr);

    // The parts of a row, for painting and for hit tests.
    static QRect checkBoxRect(const QRect& row);
    static QRect thumbnailRect(const QRect& row);
    static QRect infoButtonRect(const QRect& row);

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
        const QModelIndex& index) override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
        const QModelIndex& index) override;

    bool isClickPending() const { return m_clickTimer.isActive(); }

signals:
    void checkBoxSelected(const QPersistentModelIndex& index);
    void cellDoubleClicked(const QPersistentModelIndex& index);
    void infoTapped(const QPoint& location, int row, bool isFromRightMouseDown);

private:
    void btnClicked();

    QWidget* m_container;
    QTimer m_clickTimer;
    QPersistentModelIndex m_clickIndex;
    int m_clickCount = 0;
};
