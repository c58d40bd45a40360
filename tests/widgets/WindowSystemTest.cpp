#include "WidgetTestSupport.h"
#include "app/AppDelegate.h"
#include "app/ExifEditorView.h"
#include "app/MainWindowController.h"
#include "app/OnlineConsentPrompt.h"
#include "app/TipsWindow.h"
#include "batch/alerts/AlertCatalog.h"
#include "batch/list/PhotoListModel.h"
#include "batch/list/widgets/PhotoListPanel.h"
#include "batch/run/widgets/DestinationPanel.h"
#include "batch/run/widgets/ProcessProgressSheet.h"
#include "batch/run/widgets/SummaryWindow.h"
#include "controls/AttachedPopupTable.h"
#include "controls/DialogPresenter.h"
#include "controls/MAAttachedWindow.h"
#include "controls/QVAppStoreWindow.h"
#include "form/FormFieldTable.h"
#include "form/FormFixtures.h"
#include "form/widgets/MetadataFormView.h"
#include "presets/widgets/PresetsPanel.h"
#include "viewer/widgets/MetaDataPopupView.h"

#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QWheelEvent>
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
        if (name.isEmpty() || folder.isEmpty() || QGuiApplication::platformName() != QLatin1String("wayland"))
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

    // `dialog` is up inside the main window, the only window on the screen, and has
    // the keyboard; under Wayland the compositor's picture goes to `shot`, if named.
    void checkDrawnInside(QWidget* dialog, const QString& shot)
    {
        QVERIFY(dialog);
        QTRY_VERIFY(dialog->isVisible());
        QVERIFY(!dialog->isWindow());
        QCOMPARE(visibleWindows(), QList<QWidget*> { mainWindow() });
        QVERIFY(mainWindow()->rect().contains(inMainWindow(dialog)));
        // Beside it, a press lands on the veil.
        QWidget* beside = mainWindow()->childAt(QPoint(4, mainWindow()->height() - 4));
        QVERIFY(beside);
        QCOMPARE(beside->objectName(), QStringLiteral("vwSheetVeil"));
        if (hasKeyboard()) {
            QTRY_VERIFY(dialog->isAncestorOf(QApplication::focusWidget()));
            QVERIFY(mainWindow()->isActiveWindow());
        }
        compositorShot(shot);
    }
    // The map picker, offline, from the form's GPS tab.
    void openMapPicker(QDialog*& picker)
    {
        OnlineConsentPrompt::setOnline(*m_app, false);
        MetadataFormView* form = editor()->metadataFormView();
        form->showTab(FormTab::Gps);
        form->findChild<QAbstractButton*>(QStringLiteral("btnShowMap"))->click();
        QTRY_VERIFY((picker = mainWindow()->findChild<QDialog*>(QStringLiteral("winMapview"))));
    }
    // Where the main window's keys go: the control it gives the keyboard to, whether or
    // not the window system has given it the keyboard.
    QWidget* keyboard() const { return mainWindow()->focusWidget(); }
    // Tab and Shift+Tab go round `sheet`'s own controls and never behind its veil.
    void checkKeepsTheKeyboard(QWidget* sheet)
    {
        const auto where = [this, sheet] {
            QWidget* at = keyboard();
            return sheet->objectName() + u" lost the keyboard to "_qs + (at ? at->objectName() : u"nothing"_qs)
                + u" ("_qs + (at ? at->metaObject()->className() : "") + u')';
        };
        QTRY_VERIFY2(sheet->isAncestorOf(keyboard()), qPrintable(where()));
        for (const Qt::Key key : { Qt::Key_Tab, Qt::Key_Backtab }) {
            for (int press = 0; press < 24; ++press) {
                QTest::keyClick(keyboard(), key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
                QVERIFY2(sheet->isAncestorOf(keyboard()), qPrintable(where()));
            }
        }
    }
    // Escape answers `sheet`, wherever its keyboard is.
    void checkEscapeAnswers(QWidget* sheet)
    {
        QPointer<QWidget> guard(sheet);
        QTest::keyClick(keyboard(), Qt::Key_Escape);
        QTRY_VERIFY(!guard || !guard->isVisible());
    }

    // weston's headless compositor has no keyboard to give a window.
    static bool hasKeyboard() { return QGuiApplication::platformName() == QLatin1String("xcb"); }
    ExifEditorView* editor() const { return qobject_cast<ExifEditorView*>(controller()->vwExifEditor()); }

    QTemporaryDir m_home;

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        isolateUserFolders(m_home.path());
        // Where an open panel starts.
        QDir::setCurrent(m_home.path());
        qInfo("platform: %s", qPrintable(QGuiApplication::platformName()));
    }
    void init()
    {
        clearUserDefaults();
        startApplication();
        // The real questions: the windows they make are what this test is about.
        m_app->setPresenter(std::make_shared<DialogPresenter>());
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

    // Gone (photos came, or a drop), the add-photos window leaves the keyboard with
    // the window behind it, not with its own hidden buttons.
    void theAddPhotosWindowHandsTheKeyboardBackWhenItGoes()
    {
        if (!hasKeyboard())
            QSKIP("no keyboard to hand back");
        QWidget* addPhotos = controller()->winAddPhotos();
        QTRY_VERIFY(addPhotos->isAncestorOf(QApplication::focusWidget()) || QApplication::focusWidget() == addPhotos);
        controller()->hideAddPhotosWindow();
        QTRY_VERIFY(!addPhotos->isVisible());
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus);
        QVERIFY(focus->isVisible());
        QVERIFY(!addPhotos->isAncestorOf(focus));
        QVERIFY(mainWindow()->isAncestorOf(focus));
    }

    // Alerts, panels and sheets are drawn inside the main window: a window of their
    // own lands anywhere under Wayland, and without a window manager the keyboard
    // would not come back to the main window when it goes.
    void everyQuestionIsDrawnInsideTheMainWindowAndHandsTheKeyboardBack()
    {
        controller()->hideAddPhotosWindow();
        auto photo = photoWith({});
        photo->filePath = QStringLiteral("/nowhere/photo.jpg");
        appendToEditor(*editor(), { photo });
        auto* artist = editor()->findChild<QLineEdit*>(QStringLiteral("txtArtist"));
        artist->setFocus();
        if (hasKeyboard())
            QTRY_COMPARE(QApplication::focusWidget(), artist);

        editor()->showAlert(AlertFilesCannotBeAdded, {});
        auto* alert = mainWindow()->findChild<QMessageBox*>(QStringLiteral("winAlert"));
        checkDrawnInside(alert, QStringLiteral("wayland-alert.png"));
        QTest::mouseClick(alert->buttons().constFirst(), Qt::LeftButton);
        QTRY_VERIFY(!mainWindow()->findChild<QMessageBox*>(QStringLiteral("winAlert")));
        if (hasKeyboard()) {
            QCOMPARE(QApplication::focusWidget(), artist);
            QVERIFY(mainWindow()->isActiveWindow());
            QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Ada"));
            QCOMPARE(artist->text(), QStringLiteral("Ada"));
        }

        controller()->btnAddPhotosTapped();
        auto* open = mainWindow()->findChild<QFileDialog*>();
        checkDrawnInside(open, QStringLiteral("wayland-open-panel.png"));
        open->reject();
        QTRY_VERIFY(!mainWindow()->findChild<QFileDialog*>());

        controller()->showAlertForRateApp();
        checkDrawnInside(controller()->winRateus(), {});
        controller()->winRateus()->reject();
        QTRY_VERIFY(!controller()->winRateus()->isVisible());

        QDialog* picker = nullptr;
        openMapPicker(picker);
        QVERIFY(picker);
        checkDrawnInside(picker, QStringLiteral("wayland-map-picker.png"));
        picker->reject();
        QTRY_VERIFY(!picker->isVisible());

        // The metadata viewer, from a double-click on the photo.
        emit editor()->photoListPanel()->photoDoubleClicked(0);
        QTRY_VERIFY(editor()->metaDataPopup());
        checkDrawnInside(editor()->metaDataPopup(), QStringLiteral("wayland-viewer.png"));
        editor()->metaDataPopup()->reject();
        QTRY_VERIFY(!editor()->metaDataPopup()->isVisible());

        auto* summary = new SummaryWindow(mainWindow());
        summary->setSummmaryInfo(SummaryTexts {}, {});
        m_app->presenter().presentSheet(summary, {});
        checkDrawnInside(summary, {});
        summary->accept();
        QVERIFY(!summary->isVisible());
        QCOMPARE(visibleWindows(), QList<QWidget*> { mainWindow() });
        QVERIFY(!mainWindow()->findChild<QWidget*>(QStringLiteral("vwSheetVeil"))
            || !mainWindow()->findChild<QWidget*>(QStringLiteral("vwSheetVeil"))->isVisible());
    }

    // While a sheet is up the window behind it takes no keys: Tab goes round the
    // sheet, and Escape answers it.
    void everySheetKeepsTheKeyboardAndEscapeAnswersIt()
    {
        controller()->hideAddPhotosWindow();
        appendToEditor(*editor(), { photoWith({}), photoWith({}) });
        editor()->findChild<QLineEdit*>(QStringLiteral("txtArtist"))->setFocus();

        editor()->showAlert(AlertFilesCannotBeAdded, {});
        auto* alert = mainWindow()->findChild<QMessageBox*>(QStringLiteral("winAlert"));
        QVERIFY(alert);
        checkKeepsTheKeyboard(alert);
        checkEscapeAnswers(alert);
        QVERIFY(!controller()->winAddPhotos()->isVisible());

        controller()->btnAddPhotosTapped();
        QFileDialog* open = nullptr;
        QTRY_VERIFY((open = mainWindow()->findChild<QFileDialog*>()));
        checkKeepsTheKeyboard(open);
        checkEscapeAnswers(open);

        QDialog* picker = nullptr;
        openMapPicker(picker);
        QVERIFY(picker);
        checkKeepsTheKeyboard(picker);
        checkEscapeAnswers(picker);

        editor()->presetsPanel()->addPresetWindow();
        QDialog* presets = nullptr;
        QTRY_VERIFY((presets = mainWindow()->findChild<QDialog*>(QStringLiteral("winPresets"))));
        checkKeepsTheKeyboard(presets);
        checkEscapeAnswers(presets);

        auto* destination = new DestinationPanel(m_app->presenter(), m_home.path(), mainWindow());
        destination->ask([](const DestinationPanel::Answer&) {});
        checkKeepsTheKeyboard(destination);
        checkEscapeAnswers(destination);

        // The progress sheet: Escape asks for the stop; the run ends it.
        auto* progress = new ProcessProgressSheet(mainWindow());
        QSignalSpy stop(progress, &ProcessProgressSheet::stopRequested);
        progress->startRun(2, false);
        m_app->presenter().presentSheet(progress, {});
        checkKeepsTheKeyboard(progress);
        QTest::keyClick(keyboard(), Qt::Key_Escape);
        QCOMPARE(stop.size(), 1);
        progress->done(QDialog::Accepted);

        // The summary: Ctrl+A selects every row there, not the photos behind it.
        auto* summary = new SummaryWindow(mainWindow());
        QList<SummaryRow> rows(3);
        for (int i = 0; i < rows.size(); ++i)
            rows[i].name = u"/photos/%1.jpg"_qs.arg(i);
        SummaryTexts texts;
        texts.showsErrorTable = true;
        summary->setSummmaryInfo(texts, rows);
        m_app->presenter().presentSheet(summary, {});
        checkKeepsTheKeyboard(summary);
        auto* table = summary->findChild<QTableView*>(QStringLiteral("tblErrorSummary"));
        table->setFocus();
        QTest::keyClick(keyboard(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(table->selectionModel()->selectedRows().size(), 3);
        checkEscapeAnswers(summary);
        QTRY_VERIFY(mainWindow()->isAncestorOf(keyboard()));

        // Last: either answer of the rate sheet closes the window.
        controller()->showAlertForRateApp();
        checkKeepsTheKeyboard(controller()->winRateus());
        checkEscapeAnswers(controller()->winRateus());
    }

    // Every pop-up attached to a control holds the keyboard as a sheet does, opened
    // with the mouse too: Tab, Shift+Tab, Space and Return change nothing behind it,
    // and Escape closes it and gives the keyboard back to its control.
    void everyPopUpHoldsTheKeyboardHoweverItWasOpened()
    {
        controller()->hideAddPhotosWindow();
        QList<std::shared_ptr<PhotoFile>> photos;
        for (int i = 0; i < 5; ++i) {
            photos.append(photoWith({}));
            photos.last()->filePath = u"/nowhere/photo-%1.jpg"_qs.arg(i);
            photos.last()->isSelected = true;
        }
        appendToEditor(*editor(), photos);
        MetadataFormView* form = editor()->metadataFormView();
        const auto ticks = [&photos] {
            QString shown;
            for (const auto& photo : std::as_const(photos))
                shown += photo->isSelected ? u'x' : u'-';
            return shown;
        };
        const auto frontBubble = [this]() -> MAAttachedWindow* {
            MAAttachedWindow* front = nullptr;
            for (QObject* child : mainWindow()->children()) {
                if (auto* bubble = qobject_cast<MAAttachedWindow*>(child); bubble && bubble->isVisible())
                    front = bubble;
            }
            return front;
        };
        const auto named = [this](const QString& name) {
            QWidget* widget = mainWindow()->findChild<QWidget*>(name);
            if (!widget)
                qWarning("no %s", qPrintable(name));
            return widget;
        };
        // The buttons of the editor come back a moment after a pop-up closed.
        const auto click = [&named](const QString& name) {
            QWidget* clicked = named(name);
            QVERIFY(clicked);
            QTRY_VERIFY2(clicked->isEnabled(), qPrintable(name));
            QTest::mouseClick(clicked, Qt::LeftButton, {}, QPoint(clicked->width() / 2, clicked->height() / 2));
        };
        const int count = editor()->photoListPanel()->model()->count();
        // Each opener, clicked, and the control the keyboard goes back to.
        const auto check = [&](const QString& opener, const QString& control) {
            click(opener);
            MAAttachedWindow* bubble = frontBubble();
            QVERIFY2(bubble, qPrintable(opener));
            for (const Qt::Key key : { Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_Space, Qt::Key_Return }) {
                QVERIFY2(bubble->isAncestorOf(keyboard()), qPrintable(opener));
                QTest::keyClick(keyboard(), key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
                QCOMPARE(ticks(), u"xxxxx"_qs);
                QCOMPARE(editor()->photoListPanel()->model()->count(), count);
            }
            // Return may have chosen the list's current row, which closes it.
            if (frontBubble() == bubble) {
                compositorShot(u"wayland-popup-"_qs + opener + u".png"_qs);
                QTest::keyClick(keyboard(), Qt::Key_Escape);
            }
            QTRY_VERIFY2(frontBubble() != bubble, qPrintable(opener));
            QTRY_COMPARE(keyboard(), named(control));
        };

        check(u"btnPresets"_qs, u"btnPresets"_qs);
        check(u"btnAddPhoto"_qs, u"btnAddPhoto"_qs);
        check(u"btnMetadataMoreOptions"_qs, u"btnMetadataMoreOptions"_qs);
        check(u"txtMetatDataEditingOption"_qs, u"txtMetatDataEditingOption"_qs);
        form->showTab(FormTab::DateTime);
        check(u"txtDate_Original"_qs, u"txtDate_Original"_qs);
        check(u"btnDatePickerDate_Original"_qs, u"txtDate_Original"_qs);
        form->showTab(FormTab::Camera);
        check(u"txtCamSetting_Flash"_qs, u"txtCamSetting_Flash"_qs);
        // The renaming page's lists, with renaming by date on.
        click(u"btnNext"_qs);
        click(u"btnEditOriginalName"_qs);
        click(u"btnAddEXIFDateTime"_qs);
        for (const QString& list : { u"btnAddEXIFDateTimeAsOption"_qs, u"btnAddEXIFDateTimeTypeOption"_qs,
                 u"btnAddEXIFDateTimeFormatOption"_qs })
            check(list, list);
    }

    // At the window's smallest size, whatever the scale (the test also runs at scale 2
    // on a 1366x768 screen): the add-photos and tips windows and the date panel lie inside it,
    // and what does not fit scrolls, by the wheel too.
    void panelsFitTheWindowAtItsSmallestSize()
    {
        mainWindow()->resize(mainWindow()->minimumSize());
        QTRY_COMPARE(mainWindow()->size(), mainWindow()->minimumSize());
        const QRect window = mainWindow()->rect();
        QWidget* addPhotos = controller()->winAddPhotos();
        QTRY_VERIFY(window.contains(inMainWindow(addPhotos)));
        auto* close = addPhotos->findChild<QWidget*>(QStringLiteral("btnCloseAddPhotoWin"));
        QVERIFY(inMainWindow(addPhotos).contains(inMainWindow(close)));
        QVERIFY(
            inMainWindow(close).top() >= controller()->windowMain()->contentView()->mapTo(mainWindow(), QPoint()).y());
        compositorShot(QStringLiteral("wayland-small-add-photos.png"));
        controller()->hideAddPhotosWindow();
        controller()->showTipsScreen();
        QVERIFY(window.contains(inMainWindow(controller()->winTips())));
        controller()->winTips()->hide();

        MetadataFormView* form = editor()->metadataFormView();
        appendToEditor(*editor(), { photoWith({}) });
        form->showTab(FormTab::DateTime);
        auto* picker = form->findChild<QAbstractButton*>(QStringLiteral("btnDatePickerDate_Original"));
        QTRY_VERIFY(picker->isEnabled());
        picker->click();
        QVERIFY(form->datePopup().isOpen());
        QWidget* bubble = form->datePopup().attachedWindow();
        QTRY_VERIFY(bubble->isVisible());
        QVERIFY2(window.contains(inMainWindow(bubble)),
            qPrintable(QStringLiteral("%1 %2").arg(inMainWindow(bubble).height()).arg(window.height())));
        auto* scroll = bubble->findChild<QScrollArea*>(QStringLiteral("scrollAttachedView"));
        for (const char* name : { "btnIncDecTime", "checkYearIncDec", "checkSecondIncDec" }) {
            auto* widget = bubble->findChild<QWidget*>(QString::fromLatin1(name));
            QVERIFY2(widget, name);
            if (scroll)
                scroll->ensureWidgetVisible(widget);
            const QRect at = inMainWindow(widget);
            QVERIFY2(window.contains(at), name);
            if (scroll)
                QVERIFY2(
                    QRect(scroll->viewport()->mapTo(mainWindow(), QPoint()), scroll->viewport()->size()).contains(at),
                    name);
        }
        if (scroll) {
            QScrollBar* bar = scroll->verticalScrollBar();
            bar->setValue(0);
            const QPointF inside(scroll->viewport()->width() / 2.0, scroll->viewport()->height() / 2.0);
            QWheelEvent wheel(inside, scroll->viewport()->mapToGlobal(inside), {}, QPoint(0, -120), Qt::NoButton,
                Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(scroll->viewport(), &wheel);
            QVERIFY(bar->value() > 0);
        }
        compositorShot(QStringLiteral("wayland-small-date-panel.png"));
        form->datePopup().dismissPanel();
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
            QVERIFY(
                QGuiApplication::primaryScreen()
                    ->grabWindow(0, window.x() + around.x(), window.y() + around.y(), around.width(), around.height())
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
