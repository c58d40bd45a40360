#pragma once

#include "app/AppDelegate.h"
#include "app/ExifEditorViewInterface.h"
#include "base/NotificationCenter.h"
#include "platform/UrlOpener.h"
#include "controls/DialogPresenter.h"

#include <QDir>
#include <QList>
#include <QSize>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>

class ExifEditorView;
class MetaDataPopupView;
class PhotoFile;
class QAbstractButton;
class QListWidget;

// Records the questions the application asks and lets the test answer them. Sheets
// of ours are really opened (offscreen), so a test clicks their buttons.
class RecordingPresenter : public DialogPresenter {
public:
    struct PanelQuestion {
        OpenPanelRequest request;
        std::function<void(const QStringList&)> answer;
    };
    struct AlertQuestion {
        AlertRequest request;
        std::function<void(int)> answer;
    };

    void presentAlert(QWidget* parent, const AlertRequest& request, std::function<void(int)> answered) override;
    void presentOpenPanel(
        QWidget* parent, const OpenPanelRequest& request, std::function<void(const QStringList&)> chosen) override;

    // Answers the last open panel with these paths (none: cancelled) and forgets it.
    void answerPanel(const QStringList& paths);

    QList<PanelQuestion> panels;
    QList<AlertQuestion> alerts;
};

class RecordingUrlOpener : public UrlOpener {
public:
    bool openUrl(const QUrl& url) override
    {
        opened.append(url);
        return succeeds;
    }
    QList<QUrl> opened;
    bool succeeds = true;
};

// An editor view that only answers what the main window asks.
class FakeEditorView : public QWidget, public ExifEditorViewInterface {
public:
    explicit FakeEditorView(QWidget* parent)
        : QWidget(parent)
    {
        setObjectName(QStringLiteral("vwExifEditor"));
    }
    bool isParamsChanged() const override { return paramsChanged; }
    void addPhotosFromPathUrls(const QList<QUrl>& urls, bool isiPhoto) override
    {
        added.append(urls);
        addedAsLibrary = isiPhoto;
    }
    void initSetup() override { ++setUps; }
    bool paramsChanged = false;
    int setUps = 0;
    QList<QUrl> added;
    bool addedAsLibrary = false;
};

// Records the notifications of one name.
class NotificationSpy : public QObject {
public:
    explicit NotificationSpy(const QString& name)
    {
        NotificationCenter::defaultCenter().addObserver(
            this, name, [this](const Notification& n) { received.append(n); });
    }
    QList<Notification> received;
};

// Points the home folder and the user's settings, data and standard folders into a
// temporary folder for the whole run, so that no test reads or writes the real ones.
void isolateUserFolders(const QString& root);

// Removes every stored setting.
void clearUserDefaults();

// The start of a screenshot tool that takes OUTDIR and SAMPLESDIR: the two folders
// from the command line, and the user's folders pointed into a temporary folder for
// as long as this lives. ok() is false, after a usage line naming `tool`, when a
// folder is missing.
class ScreenshotFolders {
public:
    ScreenshotFolders(int argc, char** argv, const char* tool);
    bool ok() const { return m_ok; }

    QDir out;
    QDir samples;

private:
    QTemporaryDir m_home;
    bool m_ok = false;
};

// The application object a test drives, with its questions and opened addresses
// recorded: what the tests of the editor and of the main window hold. A test class
// derives from it after QObject.
class RecordedApplication {
protected:
    // A new application object with a new presenter and URL opener installed; the
    // stored settings stay as they are (a restart keeps them).
    void startApplication();

    std::unique_ptr<AppDelegate> m_app;
    std::shared_ptr<RecordingPresenter> m_presenter;
    std::shared_ptr<RecordingUrlOpener> m_opener;
};

// An editor view of type View (ExifEditorView or a test's own kind) over `app`,
// sized and shown; the caller waits for it to be exposed and deletes it.
template <typename View> View* showEditor(AppDelegate& app, const QSize& size)
{
    auto* editor = new View(app);
    editor->resize(size);
    editor->show();
    return editor;
}

// Photos as an adding leaves them in the editor: in the list, ticked as they are,
// and the form filled from them once the merge has ended.
void appendToEditor(ExifEditorView& editor, const QList<std::shared_ptr<PhotoFile>>& photos);

// A copy of the photo at `source` at `target`, its folder made and any file there
// replaced, readable by all and writable by its owner. Answers `target`, or "" when
// the copy cannot be made.
QString copyPhoto(const QString& source, const QString& target);
// That copy as a ticked photo of the batch list.
std::shared_ptr<PhotoFile> tickedCopy(const QString& source, const QString& target);

// Lets the posted layouts, paints and deferred calls run, so that a grab shows the
// window as it settled.
void settleEvents();

// Shows the viewer on its photo `index`, waits for the thumbnail and then for
// `settle` (the posted events, or also a map's tiles), and saves its picture at
// `path`; false when the photo cannot be shown or the picture not saved.
bool shootViewer(
    MetaDataPopupView& viewer, int index, const QString& path, const std::function<void()>& settle = settleEvents);

// A check box or radio button takes a click on its box or title only.
void clickBox(QAbstractButton* button);
// Clicks the row of a list that shows exactly `text`, scrolled into view first.
void clickRow(QListWidget* table, const QString& text);
// Text typed through an input method, as text that no key gives is.
void typeThroughInputMethod(QWidget* widget, const QString& text);
