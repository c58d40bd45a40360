#pragma once

#include <QFrame>
#include <QStringList>
#include <functional>

class Presenter;

// A box that takes drops of files ("leftBox" of the editor and of the add-photos
// window). A drop of local files emits filesDropped with the absolute paths in
// the drag's order; the box's owner adds them. A drag that carries image data is refused, even when it also carries
// files; a drag with neither shows "Paste Error". The box takes drags only while
// dragging is enabled.
class DragDropBox : public QFrame {
    Q_OBJECT
public:
    explicit DragDropBox(QWidget* parent = nullptr);

    // Where "Paste Error" is asked: one presenter, or the one a source names at the
    // drop (the application's, which may have been replaced since). Unset, the
    // alert is not asked.
    void setPresenter(Presenter* presenter)
    {
        m_presenter = [presenter] { return presenter; };
    }
    void setPresenterSource(std::function<Presenter*()> source) { m_presenter = std::move(source); }

    void setDraggingEnable(bool enable);
    bool isDraggingEnabled() const { return acceptDrops(); }

    // What a drop of this data does: filesDropped emitted, or nothing. Public so the
    // path from data to signal can be driven without a drag.
    bool performDrop(const class QMimeData* data);

signals:
    // Local files were dropped: their absolute paths, in the drag's order.
    void filesDropped(const QStringList& paths);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    std::function<Presenter*()> m_presenter;
    bool m_dragInside = false;
};
