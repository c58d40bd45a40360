#pragma once

#include <QScrollArea>

// A scroll view whose wheel scrolling can be switched off; a wheel event it does not
// take goes on to the view around it.
class DisableScrollView : public QScrollArea {
    Q_OBJECT
public:
    explicit DisableScrollView(QWidget* parent = nullptr);

    void setScrollingEnabled(bool enabled) { m_scrollingEnabled = enabled; }
    bool isScrollingEnabled() const { return m_scrollingEnabled; }

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    bool m_scrollingEnabled = true;
};
