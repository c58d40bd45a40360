#include "controls/DisableSubviews.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

bool isSwitchableControl(const QWidget* widget)
{
    return qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QLineEdit*>(widget)
        || qobject_cast<const QAbstractSlider*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget)
        || qobject_cast<const QComboBox*>(widget) || qobject_cast<const QLabel*>(widget)
        || qobject_cast<const QAbstractItemView*>(widget);
}

void disableSubviews(QWidget* view, bool disable, const std::function<bool(QWidget*)>& filter)
{
    if (!view)
        return;
    const auto children = view->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        // Windows parented to the view (dialogs, pop-ups) are not part of it.
        if (child->isWindow())
            continue;
        disableSubviews(child, disable, filter);
        if (isSwitchableControl(child) && (!filter || filter(child)))
            child->setEnabled(!disable);
    }
}
