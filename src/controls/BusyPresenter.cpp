#include "controls/BusyPresenter.h"

namespace {

// The answer's path: the flag cleared first, then the caller's handler, if any.
template <typename... Args>
std::function<void(Args...)> clearingFirst(std::atomic<bool>& busy, std::function<void(Args...)> handler)
{
    return [flag = &busy, handler = std::move(handler)](Args... args) {
        *flag = false;
        if (handler)
            handler(args...);
    };
}

} // namespace

void BusyPresenter::presentSheet(QDialog* sheet, std::function<void(int result)> finished)
{
    m_busy = true;
    m_presenter.presentSheet(sheet, clearingFirst(m_busy, std::move(finished)));
}

void BusyPresenter::presentAlert(
    QWidget* parent, const AlertRequest& request, std::function<void(int button)> answered)
{
    m_busy = true;
    m_presenter.presentAlert(parent, request, clearingFirst(m_busy, std::move(answered)));
}

void BusyPresenter::presentOpenPanel(
    QWidget* parent, const OpenPanelRequest& request, std::function<void(const QStringList& paths)> chosen)
{
    m_busy = true;
    m_presenter.presentOpenPanel(parent, request, clearingFirst(m_busy, std::move(chosen)));
}
