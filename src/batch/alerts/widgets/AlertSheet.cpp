#include "batch/alerts/widgets/AlertSheet.h"

#include "base/Logging.h"
#include "controls/BusyPresenter.h"
#include "controls/Presenter.h"

#include <QList>

namespace {

const QList<AlertButton> kButtonOrder { AlertButtonYes, AlertButtonNo, AlertButtonOk, AlertButtonRemoveFromBatch };

} // namespace

AlertSheet::AlertSheet(QWidget* window, Presenter& presenter, std::atomic<bool>& isSubWindowOpened, QObject* parent)
    : QObject(parent)
    , m_window(window)
    , m_presenter(presenter)
    , m_isSubWindowOpened(isSubWindowOpened)
{
}

QString AlertSheet::buttonTitle(AlertButton button)
{
    switch (button) {
    case AlertButtonYes:
        return tr("Yes");
    case AlertButtonNo:
        return tr("No");
    case AlertButtonOk:
        return tr("OK");
    case AlertButtonRemoveFromBatch:
        return tr("Remove From Batch");
    }
    return {};
}

bool AlertSheet::show(int tag, const AlertCounts& counts, AlertAnswer answered)
{
    if (m_shown) {
        qCInfo(lcBatch) << "alert" << tag << "dropped: alert" << m_alertTag << "is still up";
        return false;
    }
    const std::optional<AlertContent> content = AlertCatalog::alertToShow(tag, counts, m_isSubWindowOpened);
    if (!content)
        return false;

    QList<AlertButton> buttons;
    for (AlertButton button : kButtonOrder) {
        if (content->has(button))
            buttons.append(button);
    }
    AlertRequest request;
    request.objectName = QStringLiteral("winAlert");
    request.title = content->title;
    request.message = content->title;
    request.informativeText = content->message;
    request.buttons.clear();
    for (AlertButton button : buttons)
        request.buttons.append(buttonTitle(button));
    request.icon = AlertRequest::Icon::Warning;

    m_alertTag = tag;
    m_shown = true;
    m_isSubWindowOpened = true; // already while `shown` is handled; the presenter holds it from here on
    emit shown(tag);
    QPointer<AlertSheet> self(this);
    BusyPresenter(m_presenter, m_isSubWindowOpened).presentAlert(m_window, request, [self, tag, buttons, answered = std::move(answered)](int index) {
        if (!self)
            return;
        AlertButton button;
        if (index >= 0 && index < buttons.size())
            button = buttons.at(index);
        else
            button = buttons.contains(AlertButtonNo) ? AlertButtonNo : buttons.value(0, AlertButtonOk);
        self->m_shown = false;
        if (answered)
            answered(button);
        if (self)
            emit self->answered(tag, button);
    });
    return true;
}
