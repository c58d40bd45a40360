#pragma once

#include "controls/MouseDownViewDelegate.h"

#include <QObject>
#include <QPoint>
#include <QUrl>
#include <functional>

class MouseDownView;
class QTextBrowser;
class QWidget;

// The tips window ("winTips"): the tips page (resources/tips/index.html) in a
// browser that only reads ("webViewTips"), under a title bar to drag it by
// ("vwMouseDownTips"). The page's anchor "app:close-tips" closes it, its own pages
// stay in it, and web links go to `openUrl`.
//
// It is a panel inside the main window, not a window of its own, so it comes up
// centred on the main window wherever the window system puts windows (Wayland lets
// no window place itself); dragged by its title bar it moves inside the main window.
class TipsWindow : public QObject, public MouseDownViewDelegate {
    Q_OBJECT
public:
    static const QString kTipsPage; // "qrc:/tips/index.html"

    TipsWindow(QWidget* mainWindow, std::function<void(const QUrl&)> openUrl);

    QWidget* window() const { return m_winTips; }
    QTextBrowser* page() const { return m_webViewTips; }
    MouseDownView* dragArea() const { return m_vwMouseDownTips; }

    // Shows the tips centred on the main window: the first time at the start of the
    // page, later one page back.
    void showTipsScreen();
    // Hides the tips and hands the main window the focus (nothing unless the tips
    // are the active window).
    void closeQuickTourClicked();
    // What a link of the page does: "app:close-tips" closes the tips, other "app:"
    // links are refused, pages of the tips stay in the window, web links open in the
    // browser.
    void tipsLinkActivated(const QUrl& url);

    void mouseDown(QMouseEvent* event, MouseDownView* view) override;
    void mouseDragged(QMouseEvent* event, MouseDownView* view) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_mainWindow;
    std::function<void(const QUrl&)> m_openUrl;
    QWidget* m_winTips = nullptr;
    QTextBrowser* m_webViewTips = nullptr;
    MouseDownView* m_vwMouseDownTips = nullptr;
    bool m_isTipsDisplayed = false;
    QPoint m_grip;
};
