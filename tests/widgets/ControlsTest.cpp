#include "WidgetTestSupport.h"
#include "base/NotificationCenter.h"
#include "controls/AttachedPopupTable.h"
#include "controls/BusyPresenter.h"
#include "controls/DialogPresenter.h"
#include "controls/DisableScrollView.h"
#include "controls/DisableSubviews.h"
#include "controls/EditorContext.h"
#include "controls/GRProgressIndicator.h"
#include "controls/IMGButton.h"
#include "controls/ImageNamed.h"
#include "controls/MAAttachedWindow.h"
#include "controls/MouseDownView.h"
#include "controls/OnlyIntegerValueFormatter.h"
#include "controls/QVAppStoreWindow.h"
#include "controls/ViewUtils.h"
#include "controls/WindowKeys.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtConcurrent>
#include <atomic>
#include <thread>
#include <QtTest>

namespace {

class RecordingDelegate : public MouseDownViewDelegate {
public:
    void mouseDown(QMouseEvent*, MouseDownView*) override { calls << "down"; }
    void mouseDragged(QMouseEvent*, MouseDownView*) override { calls << "dragged"; }
    void mouseDoubbleClicked(QMouseEvent*, MouseDownView*) override { calls << "double"; }
    void rightMouseDown(QMouseEvent*) override { calls << "right"; }
    QStringList calls;
};

} // namespace

class ControlsTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;

private slots:
    void initTestCase() { isolateUserFolders(m_home.path()); }

    void theBusyFlagHoldsWhileAQuestionIsUpAndClearsBeforeTheAnswer()
    {
        RecordingPresenter recorder;
        EditorContext context;
        QSignalSpy changes(&context, &EditorContext::subWindowOpenedChanged);
        QList<bool> busyAtAnswer;
        BusyPresenter(recorder, context).presentAlert(
            nullptr, AlertRequest {}, [&](int) { busyAtAnswer.append(context.isSubWindowOpened()); });
        QVERIFY(context.isSubWindowOpened());
        recorder.alerts.takeLast().answer(0);
        QVERIFY(!context.isSubWindowOpened());
        QCOMPARE(busyAtAnswer, QList<bool> { false });
        QCOMPARE(changes.size(), 2);

        // A question without a handler of its own clears the fact too, as does a scope.
        BusyPresenter(recorder, context).presentOpenPanel(nullptr, OpenPanelRequest {}, {});
        QVERIFY(context.isSubWindowOpened());
        recorder.answerPanel({});
        QVERIFY(!context.isSubWindowOpened());
        {
            BusyScope scope(context);
            QVERIFY(context.isSubWindowOpened());
        }
        QVERIFY(!context.isSubWindowOpened());
    }

    // A sheet drawn inside a small window: whole inside it, Tab and the window's
    // shortcuts held to it, Escape its own, and the keyboard back where it was after.
    void aSheetInsideItsWindowFitsHoldsTheKeyboardAndHandsItBack()
    {
        QWidget window;
        window.resize(420, 300);
        auto* field = new QLineEdit(&window);
        auto* panel = new QWidget(&window);
        panel->setGeometry(0, 40, 200, 40);
        int shortcuts = 0;
        auto* action = new QAction(&window);
        action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
        window.addAction(action);
        connect(action, &QAction::triggered, &window, [&shortcuts] { ++shortcuts; });
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        field->setFocus();

        auto* sheet = new QDialog(&window);
        sheet->setAttribute(Qt::WA_DeleteOnClose);
        auto* layout = new QVBoxLayout(sheet);
        auto* first = new QLineEdit(sheet);
        auto* last = new QPushButton(QStringLiteral("Done"), sheet);
        layout->addWidget(first);
        layout->addWidget(last);
        sheet->resize(900, 200); // wider than the window
        QSignalSpy finished(sheet, &QDialog::finished);
        DialogPresenter().presentSheet(sheet, {});
        QVERIFY(!sheet->isWindow());
        const QRect placed(sheet->mapTo(&window, QPoint()), sheet->size());
        QVERIFY2(window.rect().contains(placed), qPrintable(QString::number(placed.width())));
        QCOMPARE(placed.center().y(), window.rect().center().y());
        QTRY_COMPARE(QApplication::focusWidget(), first);
        QCOMPARE(window.childAt(QPoint(2, 2))->objectName(), QStringLiteral("vwSheetVeil"));

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), last);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), first);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_K, Qt::ControlModifier);
        QCOMPARE(shortcuts, 0);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), last);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), first);

        // A control made behind the veil while the sheet is up hands the keyboard and
        // its keys to the sheet: Escape still answers it.
        auto* late = new QLineEdit(panel);
        late->show();
        late->setFocus();
        QCOMPARE(QApplication::focusWidget(), first);
        QTest::keyClick(late, Qt::Key_Escape);
        QCOMPARE(finished.size(), 1);
        QTRY_COMPARE(QApplication::focusWidget(), field);
        QCOMPARE(field->focusPolicy(), Qt::StrongFocus);
        QTRY_VERIFY(!window.findChild<QWidget*>(QStringLiteral("vwSheetVeil")));
        QTest::keyClick(field, Qt::Key_K, Qt::ControlModifier);
        QCOMPARE(shortcuts, 1);
    }

    // A sheet whose labels change often (a run's progress) paints nothing of the
    // window behind its veil but the frame's lines, and those only when it moved.
    void aSheetsChangingLabelsLeaveTheWindowBehindItsVeilUnpainted()
    {
        QWidget window;
        window.resize(420, 300);
        struct CountingWidget : QWidget {
            using QWidget::QWidget;
            int paints = 0;
            void paintEvent(QPaintEvent*) override { ++paints; }
        };
        auto* behind = new CountingWidget(&window);
        behind->setGeometry(0, 0, 60, 60);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* sheet = new QDialog(&window);
        sheet->setAttribute(Qt::WA_DeleteOnClose);
        auto* label = new QLabel(QStringLiteral("0 of 100"), sheet);
        (new QVBoxLayout(sheet))->addWidget(label);
        DialogPresenter().presentSheet(sheet, {});
        QTRY_VERIFY(behind->paints > 0);
        QTest::qWait(50);
        const int before = behind->paints;
        for (int i = 1; i <= 20; ++i) {
            label->setText(QStringLiteral("%1 of 100").arg(i));
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
        QTest::qWait(50);
        QCOMPARE(behind->paints, before);
        sheet->close();
    }

    // A message box sets its own size when its long text is laid out: it stays
    // centred, and the frame drawn on the screen goes all round it.
    void anAlertWithALongMessageIsFramedAllRoundAndCentred()
    {
        QWidget window;
        window.resize(1000, 650);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        AlertRequest request;
        request.message = QStringLiteral("The folder of \"%1\" could not be shown: no file manager answered.")
                              .arg(QStringLiteral("/home/someone/Pictures/2024/Holidays in the mountains with the "
                                                  "whole family/Day 3 - the long walk up to the lake/IMG_1.jpg"));
        request.buttons = { QStringLiteral("OK") };
        DialogPresenter().presentAlert(&window, request, {});
        auto* box = window.findChild<QMessageBox*>();
        QVERIFY(box);
        QTest::qWait(100);
        const QRect placed(box->mapTo(&window, QPoint()), box->size());
        QVERIFY2(placed.width() > 400, qPrintable(QString::number(placed.width())));
        QVERIFY2(std::abs(placed.center().x() - window.rect().center().x()) <= 1, qPrintable(QString::number(placed.x())));
        // What the screen shows, not a fresh drawing of the window: the frame's four
        // sides just outside the box, also at its far corner.
        const qreal ratio = window.devicePixelRatioF();
        const QImage screen = window.screen()->grabWindow(window.winId()).toImage();
        const auto dark = [&](QPoint at) {
            const QColor colour = screen.pixelColor(at * ratio);
            return colour.red() < 40 && colour.green() < 40 && colour.blue() < 40;
        };
        const int middleY = placed.center().y();
        QVERIFY(dark(QPoint(placed.left() - 1, middleY)));
        QVERIFY(dark(QPoint(placed.right() + 1, middleY)));
        QVERIFY(dark(QPoint(placed.right() - 4, placed.top() - 1)));
        QVERIFY(dark(QPoint(placed.right() - 4, placed.bottom() + 1)));
        box->close();
    }

    void escapeAndCtrlWDeclineOrCloseTheFrontChildWindow()
    {
        QWidget main;
        main.show();
        WindowKeys::install(&main);
        // A sheet with a No: both keys answer it, from wherever the focus is.
        QDialog sheet(&main);
        auto* yes = new QPushButton(QStringLiteral("Yes"), &sheet);
        auto* no = new QPushButton(QStringLiteral("No"), &sheet);
        auto* row = new QHBoxLayout(&sheet);
        row->addWidget(no);
        row->addWidget(yes);
        int noes = 0;
        connect(no, &QPushButton::clicked, &sheet, [&] { ++noes; });
        QSignalSpy sheetRejected(&sheet, &QDialog::rejected);
        sheet.show();
        QTest::keyClick(yes, Qt::Key_Escape);
        QTest::keySequence(&sheet, QKeySequence::Close);
        QCOMPARE(noes, 2);
        QCOMPARE(sheetRejected.size(), 0); // the No decides, not the dialog's own Escape
        // A No that is off for now holds the keys.
        no->setEnabled(false);
        QTest::keyClick(yes, Qt::Key_Escape);
        QCOMPARE(noes, 2);
        QCOMPARE(sheetRejected.size(), 0);

        // An alert with Yes and No: Escape answers No.
        DialogPresenter presenter;
        AlertRequest request;
        request.buttons = { QStringLiteral("Yes"), QStringLiteral("No") };
        int answer = -2;
        presenter.presentAlert(&main, request, [&](int button) { answer = button; });
        auto* box = main.findChild<QMessageBox*>();
        QVERIFY(box);
        QTest::keyClick(box, Qt::Key_Escape);
        QTRY_COMPARE(answer, 1);

        // A dialog without one keeps its own Escape; Ctrl+W is its close button.
        QDialog progress(&main);
        new QPushButton(QStringLiteral("Stop"), &progress);
        QSignalSpy rejected(&progress, &QDialog::rejected);
        progress.show();
        QTest::keyClick(&progress, Qt::Key_Escape);
        QCOMPARE(rejected.size(), 1);
        progress.show();
        QVERIFY(QTest::qWaitForWindowExposed(&progress));
        QTest::keySequence(&progress, QKeySequence::Close);
        QTRY_COMPARE(rejected.size(), 2);

        // The main window keeps both keys.
        QTest::keyClick(&main, Qt::Key_Escape);
        QTest::keySequence(&main, QKeySequence::Close);
        QVERIFY(main.isVisible());
    }

    void everyImageTheInterfaceNamesIsDrawn()
    {
        const QStringList names { "close-normal", "close-press", "close-hover", "min-normal", "min-press", "min-hover",
            "max-normal", "max-press", "max-hover", "chckbox_sel copy", "chckbox_normal copy", "radio_btn_sel copy",
            "radio_btn_normal copy", "place_holder.png", "checked_icon.png", "unchecked_icon.png", "errorFile.png",
            "warningFile.png", "not_av_small.png", "photo_file.png", "pin_no_location.png", "rename_option_normal",
            "rename_option_Edit_normal" };
        for (const QString& name : names) {
            const QPixmap pixmap = imageNamed(name, QSize(16, 16), 2.0);
            QVERIFY2(!pixmap.isNull(), qPrintable(name));
            QCOMPARE(pixmap.size(), QSize(32, 32));
        }
        QVERIFY(!hasImageNamed("no such image"));
        QTest::ignoreMessage(QtWarningMsg, "no interface image named \"no such image\"");
        QVERIFY(imageNamed("no such image", QSize(16, 16)).isNull());
    }

    void theImageButtonShowsTheImageOfItsState()
    {
        IMGButton button;
        button.setImgOffState_En("close-normal");
        button.setImgOnState_En("close-press");
        button.setImgMouseHover("close-hover");
        button.resize(button.sizeHint());
        button.show();
        QCOMPARE(button.currentImageName(), QStringLiteral("close-normal"));
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(&button, &enter);
        QCOMPARE(button.currentImageName(), QStringLiteral("close-hover"));
        button.setDown(true);
        QCOMPARE(button.currentImageName(), QStringLiteral("close-press"));
        button.setDown(false);
        button.setState(1);
        QCOMPARE(button.currentImageName(), QStringLiteral("close-press"));
        // Disabled, it still shows its state: a ticked box does not look unticked.
        button.setEnabled(false);
        QCOMPARE(button.currentImageName(), QStringLiteral("close-press"));
        button.setState(0);
        QCOMPARE(button.currentImageName(), QStringLiteral("close-normal"));
    }

    void theMouseDownViewTellsItsDelegate()
    {
        MouseDownView view;
        view.resize(100, 40);
        view.show();
        QTest::mouseClick(&view, Qt::LeftButton); // no delegate: nothing to tell
        RecordingDelegate delegate;
        view.setDelegate(&delegate);
        QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(10, 10));
        QMouseEvent move(QEvent::MouseMove, QPointF(20, 12), view.mapToGlobal(QPointF(20, 12)), Qt::NoButton,
            Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&view, &move);
        QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(20, 12));
        QTest::mouseDClick(&view, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mousePress(&view, Qt::RightButton, {}, QPoint(10, 10));
        QCOMPARE(delegate.calls.first(), QStringLiteral("down"));
        QVERIFY(delegate.calls.contains("dragged"));
        QVERIFY(delegate.calls.contains("double"));
        QCOMPARE(delegate.calls.last(), QStringLiteral("right"));
        view.setDelegate(nullptr);
    }

    void theWindowInstallsItsTitleBarAndLaysOutItsButtons()
    {
        QVAppStoreWindow window;
        window.resize(600, 400);
        auto* first = new QWidget;
        auto* second = new QWidget;
        window.setTitleBarView(first);
        window.setTitleBarView(second);
        QCOMPARE(window.titleBarView(), second);
        QVERIFY(first->isHidden());
        auto* close = new IMGButton;
        auto* minimise = new IMGButton;
        window.setTrafficLightButtons({ close, minimise });
        window.setTitleBarHeight(30);
        window.setCenterTrafficLightButtons(false);
        window.setTrafficLightButtonsTopMargin(3);
        window.setTrafficLightButtonsLeftMargin(7);
        window.show();
        QTRY_COMPARE(window.titleBarContainer()->height(), 30);
        QCOMPARE(second->geometry(), window.titleBarContainer()->rect());
        QCOMPARE(close->pos(), QPoint(7, 3));
        QCOMPARE(minimise->pos(), QPoint(7 + close->width(), 3));
        window.setCenterTrafficLightButtons(true);
        QCOMPARE(close->y(), (30 - close->height()) / 2);
    }

    void theWindowTellsItsOwnerWhenItCloses()
    {
        QVAppStoreWindow window;
        QSignalSpy closing(&window, &QVAppStoreWindow::windowWillClose);
        window.show();
        window.close();
        QCOMPARE(closing.count(), 1);
    }

    void aWindowIsCentredOnItsParentAndButtonsTakeTheirColours()
    {
        QCOMPARE(ViewUtils::centredOn(QRect(100, 50, 400, 300), QSize(200, 100)), QPoint(200, 150));
        QCOMPARE(ViewUtils::centredOn(QRect(0, 0, 100, 100), QSize(300, 100)), QPoint(-100, 0));
        QWidget parent;
        parent.setGeometry(100, 80, 600, 400);
        parent.show();
        QWidget window;
        window.resize(200, 100);
        ViewUtils::setWindow(&window, &parent);
        QVERIFY(window.isVisible());
        QCOMPARE(window.size(), QSize(200, 100));
        // Within the rounding of two centres (a frame's odd pixel).
        QVERIFY((window.frameGeometry().center() - parent.frameGeometry().center()).manhattanLength() <= 4);

        QPushButton button(QStringLiteral("Old"));
        ViewUtils::setButtonTitleFor(&button, QStringLiteral("Done"), Qt::red);
        QCOMPARE(button.text(), QStringLiteral("Done"));
        QCOMPARE(button.palette().color(QPalette::Active, QPalette::ButtonText), QColor(Qt::red));
        ViewUtils::styleButton(&button, Qt::darkGreen);
        QCOMPARE(button.text(), QStringLiteral("Done"));
        QVERIFY(button.isFlat());
        QCOMPARE(button.palette().color(QPalette::ButtonText), QColor(Qt::white));
        QCOMPARE(button.palette().color(QPalette::Button), QColor(Qt::darkGreen));
    }

    void theAttachedWindowSitsBelowItsPoint()
    {
        QWidget parent;
        parent.setGeometry(100, 100, 400, 300);
        parent.show();
        auto* view = new QWidget;
        view->resize(120, 80);
        MAAttachedWindow bubble(view, QPoint(200, 50), &parent, MAAttachedWindow::Below, 5);
        // A child of the window, placed in its coordinates.
        QCOMPARE(bubble.parentWidget(), &parent);
        QVERIFY(!bubble.isWindow());
        QCOMPARE(bubble.geometry().top(), 50 + 5);
        QVERIFY(qAbs(bubble.geometry().center().x() - 200) <= 1);
        QCOMPARE(bubble.attachedPoint(), parent.mapToGlobal(QPoint(200, 50)));
        QVERIFY(view->geometry().top() >= qRound(bubble.arrowHeight()));
        QCOMPARE(view->parentWidget(), &bubble);

        const int withArrow = bubble.height();
        bubble.setHasArrow(0);
        QCOMPARE(bubble.height(), withArrow - qRound(bubble.arrowHeight()));
        bubble.setCornerRadius(0);
        bubble.setBorderWidth(0);
        QCOMPARE(view->pos(), QPoint(0, 0));
        QCOMPARE(bubble.size(), view->size());
    }

    // ---- The attached drop-down list ----

    void aFittedListShowsItsCurrentRowAndTheKeyboardChoosesOrCloses()
    {
        QWidget window;
        window.setGeometry(20, 20, 500, 300);
        auto* anchor = new QPushButton(QStringLiteral("anchor"), &window);
        anchor->setGeometry(10, 10, 120, 24);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        AttachedPopupTable popup;
        QStringList rows;
        for (int i = 0; i < 14; ++i)
            rows << QStringLiteral("Row %1").arg(i);
        rows << QString(80, QLatin1Char('W'));
        QList<int> chosen;
        AttachedPopupTable::ListOptions options;
        options.type = 7;
        options.currentRow = 12;
        popup.open(
            anchor, rows, [&chosen](int row) { chosen << row; }, options);
        QVERIFY(popup.isOpen());
        QCOMPARE(popup.currentType(), 7);
        QListWidget* table = popup.table();
        QCOMPARE(table->objectName(), QStringLiteral("tblPopupOptions"));
        QCOMPARE(popup.attachedWindow()->objectName(), QStringLiteral("attachedPopUpWindow"));
        // Ten rows at the most, never narrower than the anchor, never wider than the limit.
        QCOMPARE(table->height(), AttachedPopupTable::kMaxVisibleRows * AttachedPopupTable::kRowHeight);
        QCOMPARE(table->width(), AttachedPopupTable::kMaxFittedWidth);
        QCOMPARE(table->currentRow(), 12);
        QVERIFY(table->item(12)->isSelected());
        QVERIFY(QTest::qWaitForWindowExposed(popup.attachedWindow()));

        // Down and Return choose the next row; the list is closed when the handler runs.
        bool closedFirst = false;
        popup.open(
            anchor, rows,
            [&](int row) {
                chosen << row;
                closedFirst = !popup.isOpen();
            },
            options);
        QTest::keyClick(popup.table(), Qt::Key_Down);
        QTest::keyClick(popup.table(), Qt::Key_Return);
        QCOMPARE(chosen, QList<int> { 13 });
        QVERIFY(closedFirst);
        QCOMPARE(popup.currentType(), -1);

        // Escape closes without a choice; a short list fits its rows.
        popup.open(anchor, { QStringLiteral("a"), QStringLiteral("b") }, [&chosen](int row) { chosen << row; });
        QCOMPARE(popup.table()->size(), QSize(anchor->width(), 2 * AttachedPopupTable::kRowHeight));
        QCOMPARE(popup.table()->currentRow(), -1);
        QTest::keyClick(popup.table(), Qt::Key_Escape);
        QVERIFY(!popup.isOpen());
        QCOMPARE(chosen.size(), 1);
        popup.choose(0); // a closed list chooses nothing
        QCOMPARE(chosen.size(), 1);
    }

    void aPressOutsideClosesTheListAndTheButtonsComeBackAMomentLater()
    {
        QWidget window;
        window.setGeometry(20, 20, 500, 300);
        auto* anchor = new QPushButton(QStringLiteral("anchor"), &window);
        anchor->setGeometry(10, 10, 120, 24);
        auto* other = new QPushButton(QStringLiteral("other"), &window);
        other->setGeometry(300, 250, 100, 24);
        auto* off = new QPushButton(QStringLiteral("off"), &window);
        off->setGeometry(300, 200, 100, 24);
        off->setEnabled(false);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        AttachedPopupTable panelPopup;
        AttachedPopupTable listPopup;
        panelPopup.setWindowName(QStringLiteral("attachedPopUpWindowForDate"));
        panelPopup.setButtonsRoot(&window);
        panelPopup.setCompanion(&listPopup);
        QSignalSpy openChanged(&panelPopup, &AttachedPopupTable::openChanged);
        QSignalSpy released(&panelPopup, &AttachedPopupTable::buttonsReleased);

        // A panel, with a button of its own that stays enabled.
        QWidget holder;
        auto* panel = new QWidget(&holder);
        panel->resize(200, 120);
        auto* inside = new QPushButton(QStringLiteral("inside"), panel);
        panelPopup.showView(anchor, panel);
        QVERIFY(QTest::qWaitForWindowExposed(panelPopup.attachedWindow()));
        QCOMPARE(panel->parentWidget(), panelPopup.attachedWindow());
        QVERIFY(!anchor->isEnabled() && !other->isEnabled());
        QVERIFY(inside->isEnabled());

        // A list opened from inside the panel: a press in it keeps the panel open.
        listPopup.open(inside, { QStringLiteral("2026") }, [](int) {});
        QVERIFY(QTest::qWaitForWindowExposed(listPopup.attachedWindow()));
        QTest::mousePress(listPopup.table()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(panelPopup.isOpen() && listPopup.isOpen());
        // A press in the panel closes the list only.
        QTest::mousePress(inside, Qt::LeftButton);
        QVERIFY(panelPopup.isOpen());
        QVERIFY(!listPopup.isOpen());

        // A press in the window closes the panel and hands the view back, hidden.
        QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(250, 150));
        QVERIFY(!panelPopup.isOpen());
        QCOMPARE(panel->parentWidget(), &holder);
        QVERIFY(panel->isHidden());
        QCOMPARE(openChanged.size(), 2);
        // The buttons came back with that press, before it reached anything.
        QCOMPARE(released.size(), 1);
        QVERIFY(anchor->isEnabled() && other->isEnabled());
        QVERIFY(!off->isEnabled()); // what was off before stays off

        // A click on a button closes the panel and presses the button too.
        QSignalSpy clicked(other, &QPushButton::clicked);
        panelPopup.showView(anchor, panel);
        QVERIFY(!other->isEnabled());
        QTest::mouseClick(other, Qt::LeftButton);
        QVERIFY(!panelPopup.isOpen());
        QCOMPARE(clicked.size(), 1);
        // A click on the control that opened it only closes it.
        QSignalSpy anchorClicked(anchor, &QPushButton::clicked);
        panelPopup.showView(anchor, panel);
        QTest::mouseClick(anchor, Qt::LeftButton);
        QVERIFY(!panelPopup.isOpen());
        QCOMPARE(anchorClicked.size(), 0);
        // Escape closes it wherever the window's focus is.
        panelPopup.showView(anchor, panel);
        QTest::keyClick(other, Qt::Key_Escape);
        QVERIFY(!panelPopup.isOpen());
        QVERIFY(released.wait());
        released.clear();

        // Opened again before the moment has passed: the buttons stay off while it is open.
        panelPopup.showView(anchor, panel);
        panelPopup.dismissPanel();
        panelPopup.showView(anchor, panel);
        QVERIFY(!released.wait(AttachedPopupTable::kEnableButtonsDelayMs * 2));
        QCOMPARE(released.size(), 0);
        QVERIFY(!other->isEnabled());
        panelPopup.dismissPanel();
        QVERIFY(released.wait());
        QVERIFY(other->isEnabled());

        // Going away with the pop-up open takes its window at once and tells nobody.
        panelPopup.showView(anchor, panel);
        QPointer<MAAttachedWindow> bubble = panelPopup.attachedWindow();
        const qsizetype told = openChanged.size();
        panelPopup.discard();
        QVERIFY(bubble.isNull());
        QCOMPARE(openChanged.size(), told);
    }

    // However it was opened, an open pop-up holds its window's keyboard: the keys go
    // round its own controls, none reaches the window behind it (nor its shortcuts),
    // and Escape closes it and gives the keyboard back to the control that opened it.
    void aPopUpHoldsTheKeyboardHoweverItWasOpened()
    {
        QWidget window;
        window.setGeometry(20, 20, 500, 400);
        auto* opener = new QPushButton(QStringLiteral("opener"), &window);
        opener->setGeometry(10, 10, 120, 24);
        auto* next = new QPushButton(QStringLiteral("next"), &window);
        next->setGeometry(140, 10, 120, 24);
        auto* field = new QLineEdit(&window);
        field->setGeometry(10, 360, 120, 24);
        int shortcuts = 0;
        auto* action = new QAction(&window);
        action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
        window.addAction(action);
        connect(action, &QAction::triggered, &window, [&shortcuts] { ++shortcuts; });
        QSignalSpy nextClicked(next, &QPushButton::clicked);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        AttachedPopupTable panelPopup;
        AttachedPopupTable listPopup;
        panelPopup.setCompanion(&listPopup);
        QWidget holder;
        auto* panel = new QWidget(&holder);
        auto* layout = new QVBoxLayout(panel);
        auto* first = new QCheckBox(QStringLiteral("first"), panel);
        auto* more = new QPushButton(QStringLiteral("more"), panel);
        layout->addWidget(first);
        layout->addWidget(more);
        connect(opener, &QPushButton::clicked, &panelPopup, [&] { panelPopup.showView(opener, panel); });
        connect(more, &QPushButton::clicked, &listPopup, [&] {
            listPopup.open(more, { QStringLiteral("a"), QStringLiteral("b") }, [](int) {});
        });
        const auto keyboard = [&window] { return window.focusWidget(); };
        const auto inside = [&keyboard](const AttachedPopupTable& popup) {
            return popup.attachedWindow() && popup.attachedWindow()->isAncestorOf(keyboard());
        };

        // Opened with the mouse, the pop-up has the keyboard at once.
        QTest::mouseClick(opener, Qt::LeftButton);
        QVERIFY(panelPopup.isOpen());
        QCOMPARE(keyboard(), first);
        for (const Qt::Key key : { Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_Backtab }) {
            QTest::keyClick(keyboard(), key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
            QVERIFY(inside(panelPopup));
        }
        QTest::keyClick(keyboard(), Qt::Key_K, Qt::ControlModifier);
        QCOMPARE(shortcuts, 0);
        // A key that still lands behind it (the keyboard put there) is handed to it.
        first->setFocus();
        next->setFocus();
        QVERIFY(inside(panelPopup));
        QTest::keyClick(next, Qt::Key_Space);
        QTest::keyClick(field, Qt::Key_Return);
        QTest::keyClicks(field, QStringLiteral("x"));
        QCOMPARE(nextClicked.size(), 0);
        QVERIFY(field->text().isEmpty());
        QVERIFY(first->isChecked());
        QVERIFY(panelPopup.isOpen());

        // A list opened from inside it holds the keyboard in turn; Escape closes the
        // list only, and the keyboard goes back to the button that opened it.
        more->setFocus();
        QTest::keyClick(more, Qt::Key_Space);
        QVERIFY(listPopup.isOpen());
        QCOMPARE(keyboard(), listPopup.table());
        QCOMPARE(listPopup.table()->currentRow(), -1);
        for (const Qt::Key key : { Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_Space, Qt::Key_Return })
            QTest::keyClick(keyboard(), key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
        QVERIFY(listPopup.isOpen());
        QCOMPARE(keyboard(), listPopup.table());
        QTest::keyClick(first, Qt::Key_Escape); // behind the list: handed to it
        QVERIFY(!listPopup.isOpen());
        QVERIFY(panelPopup.isOpen());
        QCOMPARE(keyboard(), more);
        QTest::keyClick(keyboard(), Qt::Key_Escape);
        QVERIFY(!panelPopup.isOpen());
        QCOMPARE(keyboard(), opener);
        QTest::keyClick(keyboard(), Qt::Key_K, Qt::ControlModifier);
        QCOMPARE(shortcuts, 1);

        // An opener switched off while the pop-up is open gets the keyboard back once it
        // is on again.
        QTest::mouseClick(opener, Qt::LeftButton);
        opener->setEnabled(false);
        QTest::keyClick(keyboard(), Qt::Key_Escape);
        QVERIFY(!panelPopup.isOpen());
        QVERIFY(!keyboard());
        opener->setEnabled(true);
        QCOMPARE(keyboard(), opener);
    }

    void aListNearTheWindowsEndOpensAboveItsAnchor()
    {
        QWidget window;
        window.setGeometry(10, 10, 400, 180);
        auto* anchor = new QPushButton(QStringLiteral("anchor"), &window);
        anchor->setGeometry(10, 140, 120, 24);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        AttachedPopupTable popup;
        AttachedPopupTable::ListOptions options;
        options.size = QSize(150, 90);
        popup.open(
            anchor, { QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c") }, [](int) {}, options);
        QCOMPARE(popup.table()->size(), QSize(150, 90));
        QVERIFY(popup.attachedWindow()->geometry().bottom() <= anchor->y());
        popup.dismissPanel();

        // With room below, the same list hangs from the anchor's lower edge; near the
        // window's right edge it stays inside the window.
        anchor->setGeometry(330, 10, 60, 24);
        popup.open(
            anchor, { QStringLiteral("a") }, [](int) {}, options);
        const QRect bubble = popup.attachedWindow()->geometry();
        QVERIFY(bubble.top() >= anchor->geometry().bottom());
        QVERIFY(bubble.right() < window.width());
    }

    void theProgressBarAnimatesOnlyWhenItGrows()
    {
        GRProgressIndicator bar;
        bar.setMinValue(0);
        bar.setMaxValue(100);
        bar.show();
        bar.setDoubleValue(60);
        QCOMPARE(bar.doubleValue(), 60.0);
        QVERIFY(bar.isAnimating());
        QTRY_COMPARE(bar.displayedValue(), 60.0);
        bar.setDoubleValue(10);
        QVERIFY(!bar.isAnimating());
        QCOMPARE(bar.displayedValue(), 10.0);
    }

    // The bar draws itself on the main thread alone: with every thread of the global
    // pool busy (as the run's other work may keep them), a frame does not wait.
    void theProgressBarDrawsWithoutTheSharedThreadPool()
    {
        GRProgressIndicator bar;
        bar.setMinValue(0);
        bar.setMaxValue(100);
        bar.setDoubleValue(40);
        bar.resize(480, 12);
        QThreadPool* pool = QThreadPool::globalInstance();
        QSemaphore started;
        QSemaphore release;
        for (int i = 0; i < pool->maxThreadCount(); ++i) {
            pool->start([&started, &release] {
                started.release();
                release.acquire();
            });
        }
        started.acquire(pool->maxThreadCount());
        // Frees the pool after a while, should the drawing wait for it.
        std::atomic<bool> drawn = false;
        std::atomic<bool> freedFirst = false;
        std::thread guard([&] {
            for (int waited = 0; waited < 5000 && !drawn; waited += 10)
                QThread::msleep(10);
            freedFirst = !drawn;
            release.release(pool->maxThreadCount());
        });
        QImage image(bar.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        bar.render(&image);
        drawn = true;
        guard.join();
        pool->waitForDone();
        QVERIFY(!freedFirst);
        // Drawn whole: the bar up to 40 %, the grey track after it.
        QVERIFY(image.pixelColor(100, 6).blue() > image.pixelColor(100, 6).red());
        QCOMPARE(image.pixelColor(400, 6), QColor(225, 225, 225));
    }

    void aScrollViewWithoutWheelScrollingPassesTheWheelOn()
    {
        DisableScrollView view;
        auto* content = new QWidget;
        content->setMinimumSize(100, 2000);
        view.setWidget(content);
        view.resize(120, 200);
        view.show();
        auto wheel = [&view] {
            QWheelEvent event(QPointF(50, 50), view.mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -120),
                Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(view.viewport(), &event);
            return event.isAccepted();
        };
        view.setScrollingEnabled(false);
        QVERIFY(!wheel());
        QCOMPARE(view.verticalScrollBar()->value(), 0);
        view.setScrollingEnabled(true);
        wheel();
        QVERIFY(view.verticalScrollBar()->value() > 0);
    }

    void digitsOnlyFieldsRefuseWhatBreaksTheRule()
    {
        QLineEdit field;
        auto* formatter = new OnlyIntegerValueFormatter(&field);
        formatter->setMaximumValue(100);
        field.setValidator(formatter);
        field.show();
        QTest::keyClicks(&field, "1x0");
        QCOMPARE(field.text(), QStringLiteral("10"));
        QTest::keyClicks(&field, "1");
        QCOMPARE(field.text(), QStringLiteral("10")); // 101 is above the maximum
        field.clear();
        QTest::keyClicks(&field, "0");
        QCOMPARE(field.text(), QString());
    }

    void disablingSubviewsSwitchesControlsDepthFirstThroughTheFilter()
    {
        QWidget root;
        auto* box = new QWidget(&root);
        auto* nested = new QPushButton("nested", box);
        auto* kept = new QPushButton("kept", box);
        auto* field = new QLineEdit(&root);
        auto* label = new QLabel("label", &root);
        auto* dialog = new QWidget(&root, Qt::Window);
        auto* inDialog = new QPushButton("in dialog", dialog);

        disableSubviews(&root, true, [kept](QWidget* w) { return w != kept; });
        QVERIFY(!nested->isEnabled());
        QVERIFY(kept->isEnabled());
        QVERIFY(!field->isEnabled());
        QVERIFY(!label->isEnabled());
        QVERIFY(box->isEnabled()); // a container is never switched, or it would disable `kept`
        QVERIFY(inDialog->isEnabled()); // another window is not part of the view

        disableSubviews(&root, false);
        QVERIFY(nested->isEnabled() && field->isEnabled() && label->isEnabled());
    }

    void notificationsReachTheMainThreadAndOnlyLivingObservers()
    {
        NotificationCenter& center = NotificationCenter::defaultCenter();
        QObject observer;
        QThread* deliveredOn = nullptr;
        QVariantMap info;
        center.addObserver(&observer, "test.ping", [&](const Notification& n) {
            deliveredOn = QThread::currentThread();
            info = n.userInfo;
        });
        QtConcurrent::run([&center] {
            center.post("test.ping", nullptr, { { "paths", QStringList { "/a" } } });
        }).waitForFinished();
        QTRY_COMPARE(deliveredOn, QThread::currentThread());
        QCOMPARE(info.value("paths").toStringList(), QStringList { "/a" });

        int calls = 0;
        {
            QObject shortLived;
            center.addObserver(&shortLived, "test.pong", [&](const Notification&) { ++calls; });
        }
        center.post("test.pong");
        QCOMPARE(calls, 0);
        QCOMPARE(center.observerCount("test.pong"), 0);

        // An observer removed by an earlier one in the same delivery is not called.
        QObject first;
        QObject second;
        center.addObserver(&first, "test.once", [&](const Notification&) { center.removeObserver(&second); });
        center.addObserver(&second, "test.once", [&](const Notification&) { ++calls; });
        center.post("test.once");
        QCOMPARE(calls, 0);
        center.removeObserver(&first);
        center.removeObserver(&observer);
    }
};

QTEST_MAIN(ControlsTest)
#include "ControlsTest.moc"
