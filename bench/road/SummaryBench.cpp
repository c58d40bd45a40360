// The summary after a big run, with the main thread watched: the sheet filled and
// shown with N rows of errors and warnings, then what a user does with it (the end
// of the list, paging, a larger window, a narrower photo column, every row copied).
//
//   QT_QPA_PLATFORM=offscreen velloran_summary_bench [ROWS ...]     (default 20000 100000)
//
// Most rows are the renaming warning a photo without an original date gets; every
// tenth is an error whose message is long enough to wrap. The sheet is filled from
// a timer, so its filling is one event on the main thread; here the rows are made
// in that event too (the batch makes them beforehand, a slice of photos per turn).
#include "RoadApplication.h"
#include "RoadStageMeter.h"
#include "batch/run/BatchRunState.h"
#include "batch/run/BatchTexts.h"
#include "batch/run/widgets/SummaryWindow.h"
#include "model/PhotoFile.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace {

// The run's error and warning records.
QList<PhotoFile> recordsOf(int count)
{
    QList<PhotoFile> records(count);
    for (int i = 0; i < count; ++i) {
        PhotoFile& record = records[i];
        record.filePath = u"/dev/shm/road/photos/%1/%2-camera-Canon_EOS_40D_photo.jpg"_s.arg(i / 100, 3, 10, QChar(u'0'))
                              .arg(i + 1, 6, 10, QChar(u'0'));
        record.fileExtension = u"jpg"_s;
        if (i % 10 == 9) {
            record.processStatus = 2;
            record.processMsg = u"The photo's Exif data could not be written as asked: Xmp.xmp.CreateDate could not "
                                "be written, and the verification of the new file found that the maker note would "
                                "have been moved, so the photo was not changed and its output was not made."_s;
        } else {
            record.processStatus = PhotoRenameNoDate;
            record.processMsg = u"EXIF Original Date/Time not found at the time of renaming!"_s;
        }
    }
    return records;
}

// Lets the event loop run for a while, as a user looks at the window.
void settle(int ms)
{
    QTest::qWait(ms);
}

} // namespace

int main(int argc, char** argv)
{
    installQuietMessages();
    RoadApplication app(argc, argv);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i) {
        bool ok = false;
        const int rows = QString::fromLocal8Bit(argv[i]).toInt(&ok);
        if (!ok || rows < 1) {
            std::fprintf(stderr, "usage: velloran_summary_bench [ROWS ...]\n(run offscreen: QT_QPA_PLATFORM=offscreen)\n");
            return 2;
        }
        sizes.append(rows);
    }
    if (sizes.isEmpty())
        sizes = { 20000, 100000 };

    double worstGap = 0;
    for (const int count : sizes) {
        RoadStageMeter meter(10);
        app.setMeter(&meter);
        SummaryWindow window;
        auto* table = window.findChild<QTableView*>(u"tblErrorSummary"_s);

        const QList<PhotoFile> records = recordsOf(count);
        meter.start();
        meter.beginStage(u"fill and show"_s);
        const int errors = count / 10;
        BatchRunState state;
        state.runSize = count;
        state.failed = errors;
        state.succeeded = count - errors;
        state.handled = count;
        state.startedAt = QDateTime::currentDateTimeUtc().addSecs(-60);
        state.endedAt = QDateTime::currentDateTimeUtc();
        QTimer::singleShot(0, &window, [&] {
            // The rows as the batch makes them from its records.
            QList<SummaryRow> rows;
            for (const PhotoFile& record : records)
                rows.append(BatchTexts::summaryRow(record));
            window.setSummmaryInfo(
                BatchTexts::summary(state, count - errors, QDateTime::currentDateTimeUtc()), std::move(rows));
            window.show();
        });
        if (!QTest::qWaitFor([&] { return window.isVisible(); }, 120000) || !QTest::qWaitForWindowExposed(&window)) {
            std::fprintf(stderr, "the summary did not show\n");
            return 1;
        }
        settle(300);

        meter.beginStage(u"end of the list"_s);
        table->setFocus();
        QTest::keyClick(table, Qt::Key_End, Qt::ControlModifier);
        settle(200);

        meter.beginStage(u"20 pages from the top"_s);
        QTest::keyClick(table, Qt::Key_Home, Qt::ControlModifier);
        for (int page = 0; page < 20; ++page) {
            QTest::keyClick(table, Qt::Key_PageDown);
            QTest::qWait(5);
        }
        settle(200);

        meter.beginStage(u"scroll bar dragged"_s);
        for (int step = 1; step <= 10; ++step) {
            table->verticalScrollBar()->setValue(table->verticalScrollBar()->maximum() * step / 10);
            QTest::qWait(5);
        }
        settle(200);

        meter.beginStage(u"larger window"_s);
        window.resize(1400, 1000);
        settle(300);

        meter.beginStage(u"narrower photo column"_s);
        table->horizontalHeader()->resizeSection(0, 160);
        settle(300);

        meter.beginStage(u"every row copied"_s);
        QTest::keyClick(table, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
        settle(200);
        const qsizetype copied = QGuiApplication::clipboard()->text().count(u'\n') + 1;
        meter.endStage();
        meter.stop();
        app.setMeter(nullptr);

        print(u"\n%1 summary rows (%2 errors, %3 warnings); %4 lines copied\n"_s.arg(count)
                  .arg(errors)
                  .arg(count - errors)
                  .arg(copied));
        print(meter.table());
        const RoadStageMeter::SlowEvent slowest = meter.longestEvent();
        print(u"longest gap between heartbeats: %1 ms, in stage \"%2\"; longest event %3 ms, %4\n"_s
                  .arg(meter.longestGapMs(), 0, 'f', 1)
                  .arg(meter.longestGapStage())
                  .arg(slowest.ms, 0, 'f', 1)
                  .arg(slowest.what));
        worstGap = std::max(worstGap, meter.longestGapMs());
    }
    print(u"\nlongest main-thread gap %1 ms: %2\n"_s.arg(worstGap, 0, 'f', 1)
              .arg(worstGap <= 100 ? u"within 100 ms"_s : u"over 100 ms: missed"_s));
    return 0;
}
