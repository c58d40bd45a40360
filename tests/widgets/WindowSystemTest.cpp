#include "WidgetTestSupport.h"
#include "app/AppDelegate.h"
#include "app/MainWindowController.h"
#include "controls/AttachedPopupTable.h"
#include "controls/MAAttachedWindow.h"
#include "controls/QVAppStoreWindow.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

// The shell on a real window system: on an X server without a window manager or a
// compositor (xvfb-run), and under a Wayland compositor (weston's headless backend),
// where no window may place itself. Whatever belongs to the main window (the
// add-photos window, a drop-down bubble) must lie inside it where it belongs, and a
// bubble must show no black where it is not drawn.
class WindowSystemTest : public QObject, public RecordedApplication {
    Q_OBJECT

private:
    MainWindowController* controller() const { return m_app->myWindowController(); }
    QVAppStoreWindow* mainWindow() const { return controller()->windowMain(); }
    // Where `widget` lies in the main window.
    QRect inMainWindow(const QWidget* widget) const
    {
        return QRect(widget->mapTo(mainWindow(), QPoint(0, 0)), widget->size());
    }
    // The windows of the application that are on the screen.
    static QList<QWidget*> visibleWindows()
    {
        QList<QWidget*> windows;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible())
                windows.append(widget);
        }
        return windows;
    }
    MAAttachedWindow* openAddMenu()
    {
        auto* add = mainWindow()->findChild<QPushButton*>(QStringLiteral("btnAddPhoto"));
        if (!add)
            return nullptr;
        QTest::mouseClick(add, Qt::LeftButton);
        return mainWindow()->findChild<MAAttachedWindow*>(QStringLiteral("attachedPopUpWindow"));
    }

    // With VELLORAN_SHOTS set to a folder, under a Wayland compositor: what the
    // compositor shows, taken by weston-screenshooter (weston runs with --debug).
    static void compositorShot(const QString& name)
    {
        const QString folder = qEnvironmentVariable("VELLORAN_SHOTS");
        if (folder.isEmpty() || QGuiApplication::platformName() != QLatin1String("wayland"))
            return;
        QTest::qWait(400);
        QTemporaryDir work;
        QProcess shooter;
        shooter.setWorkingDirectory(work.path());
        // The test moves the runtime folder away to a home of its own after the
        // application connected: the script that started the compositor names its
        // socket by its whole path.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("WAYLAND_DISPLAY"), qEnvironmentVariable("VELLORAN_WAYLAND_DISPLAY"));
        shooter.setProcessEnvironment(environment);
        shooter.start(QStringLiteral("weston-screenshooter"), {});
        // The compositor shoots at its next repaint, which may wait for this client.
        QTRY_VERIFY_WITH_TIMEOUT(shooter.state() == QProcess::NotRunning, 10000);
        QVERIFY2(shooter.exitCode() == 0, shooter.readAllStandardError().constData());
        const QStringList made = QDir(work.path()).entryList({ QStringLiteral("*.png") }, QDir::Files);
        QCOMPARE(made.size(), 1);
        QFile::remove(folder + QLatin1Char('/') + name);
        QVERIFY(QFile::copy(work.filePath(made.first()), folder + QLatin1Char('/') + name));
    }

    QTemporaryDir m_home;

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        isolateUserFolders(m_home.path());
        qInfo("platform: %s", qPrintable(QGuiApplication::platformName()));
    }
    void init()
    {
        clearUserDefaults();
        startApplication();
        m_app->setTerminateHandler([] {});
        m_app->applicationDidFinishLaunching();
        QVERIFY(QTest::qWaitForWindowExposed(mainWindow()));
        // The add-photos window comes a moment after the main window.
        QTRY_VERIFY(controller()->winAddPhotos()->isVisible());
    }
    void cleanup() { m_app.reset(); }

    void theAddPhotosWindowAndABubbleLieInsideTheMainWindow()
    {
        QWidget* addPhotos = controller()->winAddPhotos();
        QCOMPARE(visibleWindows(), QList<QWidget*> { mainWindow() });
        QCOMPARE(inMainWindow(addPhotos).center(), mainWindow()->rect().center());
        compositorShot(QStringLiteral("wayland-add-photos.png"));

        controller()->hideAddPhotosWindow();
        MAAttachedWindow* bubble = openAddMenu();
        QVERIFY(bubble);
        QVERIFY(!bubble->isWindow());
        QCOMPARE(visibleWindows(), QList<QWidget*> { mainWindow() });
        auto* add = mainWindow()->findChild<QPushButton*>(QStringLiteral("btnAddPhoto"));
        const QRect button = inMainWindow(add);
        const QRect placed = inMainWindow(bubble);
        // Hanging from the button's lower edge, with its arrow at the button's middle.
        QVERIFY(placed.top() >= button.bottom() && placed.top() <= button.bottom() + 4);
        QCOMPARE(bubble->attachedPoint(), add->mapToGlobal(QPoint(add->width() / 2, add->height())));
        QVERIFY(mainWindow()->rect().contains(placed));
        compositorShot(QStringLiteral("wayland-bubble.png"));
    }

    void aBubbleShowsNoBlackOutsideItsShapeWithoutACompositor()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("reads the X server's own pixels (run under xvfb-run)");
        controller()->hideAddPhotosWindow();
        MAAttachedWindow* bubble = openAddMenu();
        QVERIFY(bubble);
        QTest::qWait(300);
        QCoreApplication::processEvents();
        // What the X server shows, with no compositor to blend anything.
        const QPoint origin = bubble->mapToGlobal(QPoint(0, 0));
        const QImage screen = QGuiApplication::primaryScreen()
                                  ->grabWindow(0, origin.x(), origin.y(), bubble->width(), bubble->height())
                                  .toImage()
                                  .convertToFormat(QImage::Format_RGB32);
        QCOMPARE(screen.size(), bubble->size());
        if (const QString folder = qEnvironmentVariable("VELLORAN_SHOTS"); !folder.isEmpty()) {
            const QString shot = folder + QStringLiteral("/x11-bubble.png");
            const QPoint window = mainWindow()->mapToGlobal(QPoint(0, 0));
            const QRect around = inMainWindow(bubble).adjusted(-40, -40, 40, 40) & mainWindow()->rect();
            QVERIFY(QGuiApplication::primaryScreen()
                        ->grabWindow(0, window.x() + around.x(), window.y() + around.y(), around.width(),
                            around.height())
                        .save(shot));
        }
        const QPainterPath shape = bubble->shape();
        int outside = 0;
        int black = 0;
        for (int y = 0; y < screen.height(); ++y) {
            for (int x = 0; x < screen.width(); ++x) {
                if (shape.contains(QPointF(x + 0.5, y + 0.5)))
                    continue;
                ++outside;
                const QRgb pixel = screen.pixel(x, y);
                if (qRed(pixel) < 8 && qGreen(pixel) < 8 && qBlue(pixel) < 8)
                    ++black;
            }
        }
        QVERIFY(outside > 100); // the corners and the sides of the arrow
        QCOMPARE(black, 0);
    }
};

QTEST_MAIN(WindowSystemTest)
#include "WindowSystemTest.moc"
