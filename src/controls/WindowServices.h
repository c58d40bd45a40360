#pragma once

class EditorContext;
class Presenter;
class UrlOpener;
class UserDefaults;
class WorkerRegistry;

// The application's services a panel of the window borrows: where its questions
// are asked, what opens an address, the settings, the one waiting place at the
// end, and the editor's shared state. The application implements it (tests their own); a
// panel takes it in its constructor and says everything else through signals,
// which its owner connects.
class WindowServices {
public:
    virtual ~WindowServices() = default;
    // Every alert, sheet and file dialog goes through it.
    virtual Presenter& presenter() const = 0;
    virtual UrlOpener& urlOpener() const = 0;
    virtual UserDefaults& defaults() const = 0;
    // Where a worker that writes files registers, so that quitting can stop it.
    virtual WorkerRegistry& workers() = 0;
    // The editor's shared state: among it whether a sheet, an alert or a panel of
    // ours, or the loading overlay, is up.
    virtual EditorContext& editorContext() const = 0;
};
