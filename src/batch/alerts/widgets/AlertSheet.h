#pragma once

#include "batch/alerts/AlertCatalog.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

class EditorContext;
class Presenter;

// The editor's one alert sheet ("winAlert"), tags 100 to 117. The texts and
// buttons come from AlertCatalog; the question goes through the Presenter,
// window-modal over `window`.
//
// One sheet at a time: while a sheet is up, or while the editor context says a
// sub-window is open (another sheet, the loading overlay), a request is
// dropped and logged, as is an unknown tag. While the sheet is up the fact is
// set; it is cleared before the answer is handed on, so the answer may raise
// the next alert. The answer goes to the asker's `answered` alone.
//
//     sheet.show(AlertPhotosExist, counts, [](AlertButton button) { ... });
class AlertSheet : public QObject {
    Q_OBJECT
public:
    AlertSheet(QWidget* window, Presenter& presenter, EditorContext& context, QObject* parent = nullptr);

    // Shows the alert of `tag`; false (and nothing shown) when it was dropped.
    // `answered` gets the button pressed; an alert closed without a button
    // answers No where it has one, else its only button.
    bool show(int tag, const AlertCounts& counts, AlertAnswer answered = {});

    bool isShown() const { return m_shown; }
    // The tag of the sheet last shown (alertTag).
    int alertTag() const { return m_alertTag; }

private:
    QPointer<QWidget> m_window;
    Presenter& m_presenter;
    EditorContext& m_context;
    bool m_shown = false;
    int m_alertTag = 0;
};
