#include "batch/widgets/AttachedPopupTable.h"

#include "batch/PhotoListMenus.h"
#include "controls/MAAttachedWindow.h"

#include <QApplication>
#include <QListView>
#include <QMouseEvent>
#include <QStringListModel>

AttachedPopupTable::AttachedPopupTable(QWidget* editor, QObject* parent)
    : QObject(parent)
    , m_editor(editor)
    , m_rows(new QStringListModel(this))
{
}

AttachedPopupTable::~AttachedPopupTable()
{
    close();
}

void AttachedPopupTable::open(AttachPopupType type, const QStringList& rows, const QSize& size, const QPoint& anchor,
    bool below, std::function<void(int row)> chosen)
{
    close();
    if (!m_editor)
        return;
    m_rows->setStringList(rows);
    auto* table = new QListView;
    table->setObjectName(QStringLiteral("tblPopupOptions"));
    table->setModel(m_rows);
    table->setUniformItemSizes(true);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setFrameShape(QFrame::NoFrame);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setStyleSheet(QStringLiteral("QListView { background: transparent; color: #28241c; }"
                                        "QListView::item { height: %1px; padding-left: 8px; }"
                                        "QListView::item:hover { background: #e8e0cc; }")
                             .arg(int(PhotoListMenus::kRowHeight)));
    table->setFixedSize(size);
    connect(table, &QListView::clicked, this, [this](const QModelIndex& index) { choose(index.row()); });

    QWidget* window = m_editor->window();
    const QPoint point = m_editor->mapTo(window, anchor);
    m_window = new MAAttachedWindow(table, point, window, below ? MAAttachedWindow::Below : MAAttachedWindow::Right, 2);
    m_window->setObjectName(QStringLiteral("attachedPopUpWindow"));
    m_window->setAttribute(Qt::WA_DeleteOnClose);
    m_table = table;
    m_type = type;
    m_chosen = std::move(chosen);
    qApp->installEventFilter(this);
    m_window->show();
    emit opened(type);
}

void AttachedPopupTable::close()
{
    if (!m_window)
        return;
    qApp->removeEventFilter(this);
    MAAttachedWindow* window = m_window;
    m_window = nullptr;
    m_table = nullptr;
    m_type = AttachPopupNone;
    window->hide();
    window->deleteLater();
    emit closed();
}

void AttachedPopupTable::choose(int row)
{
    if (!m_window || row < 0 || row >= m_rows->rowCount())
        return;
    std::function<void(int)> chosen = std::move(m_chosen);
    m_chosen = {};
    close();
    if (chosen)
        chosen(row);
}

bool AttachedPopupTable::eventFilter(QObject* watched, QEvent* event)
{
    if (m_window && event->type() == QEvent::MouseButtonPress && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->window() != m_window)
            close();
    }
    return QObject::eventFilter(watched, event);
}
