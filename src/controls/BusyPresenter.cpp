#include "controls/BusyPresenter.h"

#include "controls/EditorContext.h"

namespace {

void setOpened(EditorContext* context, bool opened)
{
    if (context)
        context->setSubWindowOpened(opened);
}

// The answer's path: the fact cleared first, then the caller's handler, if any.
template <typename... Args>
std::function<void(Args...)> clearingFirst(const QPointer<EditorContext>& context, std::function<void(Args...)> handler)
{
    return [context, handler = std::move(handler)](Args... args) {
        setOpened(context, false);
        if (handler)
            handler(args...);
    };
}

} // namespace

void BusyPresenter::presentSheet(QDialog* sheet, std::function<void(int result)> finished)
{
    setOpened(m_context, true);
    m_presenter.presentSheet(sheet, clearingFirst(m_context, std::move(finished)));
}

void BusyPresenter::presentAlert(
    QWidget* parent, const AlertRequest& request, std::function<void(int button)> answered)
{
    setOpened(m_context, true);
    m_presenter.presentAlert(parent, request, clearingFirst(m_context, std::move(answered)));
}

void BusyPresenter::presentOpenPanel(
    QWidget* parent, const OpenPanelRequest& request, std::function<void(const QStringList& paths)> chosen)
{
    setOpened(m_context, true);
    m_presenter.presentOpenPanel(parent, request, clearingFirst(m_context, std::move(chosen)));
}

BusyScope::BusyScope(EditorContext& context)
    : m_context(&context)
{
    context.setSubWindowOpened(true);
}

BusyScope::~BusyScope()
{
    setOpened(m_context, false);
}
