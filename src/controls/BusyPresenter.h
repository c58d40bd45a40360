#pragma once

#include "controls/EditorContext.h"
#include "controls/Presenter.h"

#include <QPointer>


// Asks through another presenter and holds the editor context's sub-window fact
// (EditorContext::isSubWindowOpened) for as long as the question is up: set when
// the question is presented and cleared as soon as it is answered, before the
// answer is handed on. The fact turns away alerts while a sheet, an alert or an
// open panel of ours is up. Made where a question is asked: the answer does not
// need this object to outlive the call.
class BusyPresenter : public Presenter {
public:
    BusyPresenter(Presenter& presenter, EditorContext& context)
        : m_presenter(presenter)
        , m_context(&context)
    {
    }

    void presentSheet(QDialog* sheet, std::function<void(int result)> finished) override;
    void presentAlert(QWidget* parent, const AlertRequest& request, std::function<void(int button)> answered) override;
    void presentOpenPanel(QWidget* parent, const OpenPanelRequest& request,
        std::function<void(const QStringList& paths)> chosen) override;

private:
    Presenter& m_presenter;
    QPointer<EditorContext> m_context;
};

// Holds the sub-window fact for as long as it lives, for what stays up across
// several steps rather than one question: the loading overlay, the batch's
// destination and progress sheets, the preset window. Kept in a std::optional by
// the owner of the sheet: emplaced when it opens, reset when it closes, and cleared
// with its owner should that go first, so no path leaves the fact set.
class BusyScope {
public:
    explicit BusyScope(EditorContext& context);
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    QPointer<EditorContext> m_context;
};
