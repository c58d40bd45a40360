#include "app/TipsWindow.h"

#include "app/AppLogging.h"
#include "app/ShellWidgets.h"
#include "controls/InWindowSheet.h"
#include "controls/MouseDownView.h"
#include "controls/WindowKeys.h"

#include <QEvent>
#include <QMouseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <algorithm>

namespace {
const QSize kTipsSize(640, 480);
}

const QString TipsWindow::kTipsPage = QStringLiteral("qrc:/tips/index.html");

TipsWindow::TipsWindow(QWidget* mainWindow, std::function<void(const QUrl&)> openUrl)
    : QObject(mainWindow)
    , m_mainWindow(mainWindow)
    , m_openUrl(std::move(openUrl))
{
    m_winTips = new QWidget(mainWindow);
    m_winTips->setObjectName(QStringLiteral("winTips"));
    m_winTips->setWindowTitle(tr("Tips"));
    m_winTips->resize(kTipsSize);
    m_winTips->hide();
    m_winTips->installEventFilter(this);
    // Drawn inside the main window, yet closed by Escape and Ctrl+W as a window is.
    WindowKeys::treatAsWindow(m_winTips);
    // A thin dark frame, as a window of its own would have.
    m_winTips->setAutoFillBackground(true);
    QPalette framePalette = m_winTips->palette();
    framePalette.setColor(QPalette::Window, QColor(12, 12, 12));
    m_winTips->setPalette(framePalette);
    auto* layout = new QVBoxLayout(m_winTips);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);

    m_vwMouseDownTips = new MouseDownView(m_winTips);
    m_vwMouseDownTips->setObjectName(QStringLiteral("vwMouseDownTips"));
    m_vwMouseDownTips->setFixedHeight(22);
    m_vwMouseDownTips->setAutoFillBackground(true);
    QPalette palette = m_vwMouseDownTips->palette();
    palette.setColor(QPalette::Window, ShellWidgets::kHeaderColour);
    palette.setColor(QPalette::WindowText, QColor(230, 225, 214));
    m_vwMouseDownTips->setPalette(palette);
    auto* tipsTitle = new QLabel(tr("Tips"), m_vwMouseDownTips);
    tipsTitle->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* titleLayout = new QHBoxLayout(m_vwMouseDownTips);
    titleLayout->setContentsMargins(8, 0, 8, 0);
    titleLayout->addWidget(tipsTitle, 0, Qt::AlignCenter);
    m_vwMouseDownTips->setDelegate(this);
    layout->addWidget(m_vwMouseDownTips);

    m_webViewTips = new QTextBrowser(m_winTips);
    m_webViewTips->setObjectName(QStringLiteral("webViewTips"));
    m_webViewTips->setOpenLinks(false);
    // The page is read, not edited or selected.
    m_webViewTips->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(m_webViewTips, &QTextBrowser::anchorClicked, this, &TipsWindow::tipsLinkActivated);
    layout->addWidget(m_webViewTips, 1);
}

void TipsWindow::showTipsScreen()
{
    qCInfo(lcApp) << "main windowController  showTipsScreen";
    // Never larger than the main window (a small screen, a large scale): the page
    // scrolls, and the title bar stays in sight.
    m_winTips->resize(kTipsSize.boundedTo(InWindowSheet::roomIn(m_mainWindow->size())));
    m_winTips->move(ShellWidgets::centredOn(m_mainWindow->rect(), m_winTips->size()));
    m_winTips->show();
    m_winTips->raise();
    if (!m_isTipsDisplayed) {
        m_webViewTips->setSource(QUrl(kTipsPage));
        m_isTipsDisplayed = true;
    } else {
        m_webViewTips->backward();
    }
    // Every time, from the menu too: the keys go to the page.
    m_mainWindow->activateWindow();
    m_webViewTips->setFocus(Qt::OtherFocusReason);
}

void TipsWindow::closeQuickTourClicked()
{
    if (!m_winTips->isActiveWindow())
        return;
    m_winTips->hide();
    m_mainWindow->raise();
    m_mainWindow->activateWindow();
}

void TipsWindow::tipsLinkActivated(const QUrl& url)
{
    if (url.scheme() == QLatin1String("app")) {
        if (url.path() == QLatin1String("close-tips"))
            closeQuickTourClicked();
        else
            qCInfo(lcApp) << "the tips page may not call" << url.toString();
        return;
    }
    const QUrl resolved = m_webViewTips->source().resolved(url);
    if (resolved.scheme() == QLatin1String("qrc")) {
        m_webViewTips->setSource(resolved);
        return;
    }
    m_openUrl(resolved);
}

void TipsWindow::mouseDown(QMouseEvent* event, MouseDownView* view)
{
    m_grip = view->mapTo(m_winTips, event->position().toPoint());
}

void TipsWindow::mouseDragged(QMouseEvent* event, MouseDownView* view)
{
    // In the main window's coordinates, which every window system keeps; the tips
    // stay whole inside the main window.
    const QPoint pointer = view->mapTo(m_mainWindow, event->position().toPoint());
    const QPoint origin = pointer - m_grip;
    const int right = std::max(0, m_mainWindow->width() - m_winTips->width());
    const int bottom = std::max(0, m_mainWindow->height() - m_winTips->height());
    m_winTips->move(std::clamp(origin.x(), 0, right), std::clamp(origin.y(), 0, bottom));
}

bool TipsWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_winTips && event->type() == QEvent::Close)
        closeQuickTourClicked();
    return QObject::eventFilter(watched, event);
}
