#pragma once

#include "app/ExifEditorViewInterface.h"
#include "app/NotificationCenter.h"
#include "app/UrlOpener.h"
#include "controls/DialogPresenter.h"

#include <QList>
#include <QStringList>
#include <QUrl>
#include <QWidget>
#include <functional>

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
    bool paramsChanged = false;
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

// Points the user's settings, data and standard folders into a temporary folder for
// the whole run, so that no test reads or writes the real ones.
void isolateUserFolders(const QString& root);

// Removes every stored setting.
void clearUserDefaults();
