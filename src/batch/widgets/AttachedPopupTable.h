#pragma once

#include "batch/AttachPopupType.h"
#include "controls/MAAttachedWindow.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
class QListView;
class QStringListModel;
class QWidget;

// The editor's one attached drop-down list: a list of rows ("tblPopupOptions", 30
// points a row) in an MAAttachedWindow beside a point of the editor. Opening a
// list closes the one that is open; a click outside the list closes it; choosing
// a row closes it and then hands the row to the handler the list was opened with.
class AttachedPopupTable : public QObject {
    Q_OBJECT
public:
    explicit AttachedPopupTable(QWidget* editor, QObject* parent = nullptr);
    ~AttachedPopupTable() override;

    // Opens `rows` in a list of `size` whose arrow points at `anchor` (editor
    // coordinates), the bubble below it (`below`) or to its right.
    void open(AttachPopupType type, const QStringList& rows, const QSize& size, const QPoint& anchor, bool below,
        std::function<void(int row)> chosen);
    void close();

    bool isOpen() const { return m_window != nullptr; }
    // flagCurrentAttachPopupType: the list open now, AttachPopupNone when none.
    AttachPopupType currentType() const { return m_type; }
    QListView* table() const { return m_table; }
    MAAttachedWindow* attachedWindow() const { return m_window; }

    // Chooses a row as a click would (a row the list does not have does nothing).
    void choose(int row);

signals:
    void opened(AttachPopupType type);
    void closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_editor;
    QPointer<MAAttachedWindow> m_window;
    QListView* m_table = nullptr;
    QStringListModel* m_rows = nullptr;
    AttachPopupType m_type = AttachPopupNone;
    std::function<void(int)> m_chosen;
};
