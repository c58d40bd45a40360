#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

class QAbstractButton;
class QLabel;

// A frameless top-level window with a title bar of its own: a title-bar container
// of adjustable height holding a title-bar view, the window's own close, minimise
// and zoom buttons laid out at a left and top margin (or centred vertically), and
// an optional centred title. Below the title bar is the content view.
//
// Moving and resizing are left to the window system (QWindow::startSystemMove and
// startSystemResize), which work under X11 and Wayland alike: a thin border around
// the content resizes the window while it is resizable.
//
// Once a close is accepted the window emits windowWillClose; its owner tells the
// application from there.
class QVAppStoreWindow : public QWidget {
    Q_OBJECT
public:
    explicit QVAppStoreWindow(QWidget* parent = nullptr);

    QWidget* titleBarView() const { return m_titleBarView; }
    // Installs the view over the whole title-bar container, resizing with it; the
    // view it replaces is hidden and stays owned by the window.
    void setTitleBarView(QWidget* view);
    QWidget* titleBarContainer() const { return m_titleBarContainer; }
    QWidget* contentView() const { return m_contentView; }

    void setTitleBarHeight(double height);
    double titleBarHeight() const { return m_titleBarHeight; }
    void setCenterTrafficLightButtons(bool center);
    bool centerTrafficLightButtons() const { return m_centerTrafficLightButtons; }
    // Used by the next layout.
    void setTrafficLightButtonsTopMargin(double margin) { m_trafficLightButtonsTopMargin = margin; }
    double trafficLightButtonsTopMargin() const { return m_trafficLightButtonsTopMargin; }
    void setTrafficLightButtonsLeftMargin(double margin);
    double trafficLightButtonsLeftMargin() const { return m_trafficLightButtonsLeftMargin; }
    void setShowsTitle(bool shows);
    bool showsTitle() const { return m_showsTitle; }
    void setTitle(const QString& title);
    QString title() const { return windowTitle(); }
    void setMinSize(const QSize& size);
    void setMaxSize(const QSize& size);

    // The close, minimise and zoom buttons, in that order, laid out in the title bar.
    void setTrafficLightButtons(const QList<QAbstractButton*>& buttons);
    QList<QAbstractButton*> trafficLightButtons() const;

    // Whether the border resizes the window (the style mask's resizable flag).
    void setResizable(bool resizable);
    bool isResizable() const { return m_resizable; }

    // Asks the window system to move the window with the pointer; false where it
    // cannot (then the caller moves the window itself).
    bool startSystemMove();

    void layoutTrafficLightButtons();

    static constexpr int kResizeBorder = 4;

signals:
    void windowWillClose(QVAppStoreWindow* window);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    Qt::Edges edgesAt(const QPoint& position) const;
    void layoutTitleBar();

    QWidget* m_titleBarContainer = nullptr;
    QWidget* m_contentView = nullptr;
    QPointer<QWidget> m_titleBarView;
    QLabel* m_titleLabel = nullptr;
    QList<QPointer<QAbstractButton>> m_trafficLightButtons;
    double m_titleBarHeight = 22;
    bool m_centerTrafficLightButtons = true;
    double m_trafficLightButtonsTopMargin = 3;
    double m_trafficLightButtonsLeftMargin = 7;
    bool m_showsTitle = true;
    bool m_resizable = true;
};
