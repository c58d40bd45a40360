#pragma once

#include "base/AlertRequest.h"

#include <QString>
#include <QStringList>
#include <functional>

class QDialog;
class QWidget;

// An open panel: which kinds of item may be chosen and how the panel reads.
struct OpenPanelRequest {
    QString objectName;
    QString title;
    QString prompt; // the title of the accepting button
    bool chooseFiles = true;
    bool chooseDirectories = false;
    bool multipleSelection = true;
    bool treatPackagesAsFiles = false;
    bool canCreateDirectories = false;
    QStringList nameFilters; // empty: every file
    QString directory; // empty: the panel's own choice
};

// Every question the application asks the user goes through one presenter: alerts,
// sheets of ours and open panels. Each holds the rest of its parent's window back
// from the user while it is up and never blocks in a nested event loop; the answer arrives through the callback,
// once, on the main thread. Tests install a presenter that records the question and
// answers it; the application uses DialogPresenter.
class Presenter {
public:
    virtual ~Presenter() = default;

    // A dialog of ours (a sheet). `finished` (may be empty) gets its result when it
    // closes; its own buttons decide when that is.
    virtual void presentSheet(QDialog* sheet, std::function<void(int result)> finished) = 0;

    // `answered` gets the index of the button pressed, or -1 when the alert was
    // dismissed without one.
    virtual void presentAlert(QWidget* parent, const AlertRequest& request, std::function<void(int button)> answered)
        = 0;

    // `chosen` gets the chosen absolute paths; an empty list when the panel was
    // cancelled or nothing was chosen.
    virtual void presentOpenPanel(
        QWidget* parent, const OpenPanelRequest& request, std::function<void(const QStringList& paths)> chosen)
        = 0;
};
