#include "batch/alerts/widgets/AlertSheet.h"

#include "base/Logging.h"
#include "controls/BusyPresenter.h"
#include "controls/EditorContext.h"
#include "controls/Presenter.h"

#include <QList>

AlertSheet::AlertSheet(QWidget* window, Presenter& presenter, EditorContext& context, QObject* parent)
    : QObject(parent)
    , m_window(window)
    , m_presenter(presenter)
    , m_context(context)
{
}

bool AlertSheet::show(int tag, const AlertCounts& counts, AlertAnswer answered)
{
    if (m_shown) {
        qCInfo(lcBatch) << "alert" << tag << "dropped: alert" << m_alertTag << "is still up";
        return false;
    }
    const std::optional<AlertContent> content = AlertCatalog::alertToShow(tag, counts, m_context.isSubWindowOpened());
    if (!content)
        return false;

    const QList<AlertButton> buttons = AlertCatalog::buttonsInOrder(*content);
    m_alertTag = tag;
    m_shown = true;
    QPointer<AlertSheet> self(this);
    BusyPresenter(m_presenter, m_context)
        .presentAlert(
            m_window, AlertCatalog::sheetRequest(*content), [self, buttons, answered = std::move(answered)](int index) {
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
            });
    return true;
}
