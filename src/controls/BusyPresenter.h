#pragma once

#include "controls/Presenter.h"

#include <atomic>

// Asks through another presenter and holds a busy flag for as long as the question
// is up: the flag is set when the question is presented and cleared as soon as it
// is answered, before the answer is handed on. The application's flag
// (`isSubWindowOpened`) turns away alerts and drops while a sheet, an alert or an
// open panel of ours is up. Made where a question is asked: the answer does not
// need this object to outlive the call.
class BusyPresenter : public Presenter {
public:
    BusyPresenter(Presenter& presenter, std::atomic<bool>& busy)
        : m_presenter(presenter)
        , m_busy(busy)
    {
    }

    void presentSheet(QDialog* sheet, std::function<void(int result)> finished) override;
    void presentAlert(QWidget* parent, const AlertRequest& request, std::function<void(int button)> answered) override;
    void presentOpenPanel(QWidget* parent, const OpenPanelRequest& request,
        std::function<void(const QStringList& paths)> chosen) override;

private:
    Presenter& m_presenter;
    std::atomic<bool>& m_busy;
};

// Holds a busy flag set for as long as it lives, for what stays up across several
// steps rather than one question: the loading overlay, the batch's destination and
// progress sheets, the preset window. Kept in a std::optional by the owner of the
// sheet: emplaced when it opens, reset when it closes, and cleared with its owner
// should that go first, so no path leaves the flag set.
class BusyScope {
public:
    explicit BusyScope(std::atomic<bool>& busy)
        : m_busy(busy)
    {
        m_busy = true;
    }
    ~BusyScope() { m_busy = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    std::atomic<bool>& m_busy;
};
