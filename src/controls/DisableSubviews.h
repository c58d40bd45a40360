#pragma once

#include <functional>

class QWidget;

// Enables or disables the controls inside a view. The walk is depth first: each
// child's own children are handled before the child itself. A widget is switched
// only when it is a control (a button, field, slider, spin box, combo box, label or
// list; containers are left alone so that they never disable what lies inside them
// wholesale) and the filter answers true for it; no filter answers true.
void disableSubviews(QWidget* view, bool disable, const std::function<bool(QWidget*)>& filter = {});

// Whether disableSubviews switches this widget.
bool isSwitchableControl(const QWidget* widget);
