#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class AppDelegate;
class ExifEditorView;
class RoadPresenter;
class RoadStageMeter;

// One user's whole road through the real application object, its main window and
// the editor view, driven through their widgets: add a folder, every photo ticked,
// the form filled from the merged photos, one edit (the Artist), renaming by the
// original date, Process into a new folder, the summary. Each stage is timed by the
// meter, which watches the main thread meanwhile.
class WholeRoad {
public:
    struct Options {
        QString source; // the folder added
        QString output; // the new folder the run writes into
        QString artist;
        int dateFormat = 19; // row of the date-format list: "YYYY-MM-DD_HH-MM-SS"
        int timeoutSeconds = 3600; // per stage
        int readThreads = 0; // photos read at once by the adding; 0: the application's own choice
    };
    struct Result {
        QString failure; // empty when the road reached the summary
        int photos = 0; // listed after the adding
        int succeeded = 0;
        int failed = 0;
        int warnings = 0;
        double wholeSeconds = 0; // from the adding to the summary on the screen
        double peakResidentMb = 0; // the process's peak resident size up to the summary
        int pathsAlone = 0;
        double pathSecondsAlone = 0; // the run's output paths built again, on one thread, after the road
        double snapshotSecondsAlone = 0; // the run's snapshot taken again after the road
        QStringList errors; // the failed photos with their messages
        // Photos whose record, as the adding read it, differs from that of another
        // link to the same file: a read that depends on what else was read at the time.
        QStringList readUnlike;
    };

    explicit WholeRoad(RoadStageMeter& meter);
    ~WholeRoad();

    Result run(const Options& options);

private:
    ExifEditorView* editor() const;
    template <typename T> T* widget(const QString& name) const;
    bool waitFor(const std::function<bool()>& done, int timeoutSeconds);
    bool answerAlert(const QString& message);
    void timeApart(const Options& options, Result& result);
    void compareLinkedPhotos(Result& result);

    RoadStageMeter& m_meter;
    std::shared_ptr<RoadPresenter> m_presenter;
    std::unique_ptr<AppDelegate> m_app;
};
