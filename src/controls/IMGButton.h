#pragma once

#include <QAbstractButton>
#include <QString>

// A button drawn from three interface images: the off-state image, the on-state
// image (while pressed, and while its state is on) and the hover image. A disabled
// button shows the image of its state, faded. The state is 1 (on) or 0 (off).
class IMGButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit IMGButton(QWidget* parent = nullptr);

    void setImgOffState_En(const QString& name);
    void setImgOnState_En(const QString& name);
    void setImgMouseHover(const QString& name);
    const QString& imgOffState_En() const { return m_off; }
    const QString& imgOnState_En() const { return m_on; }
    const QString& imgMouseHover() const { return m_hover; }

    void setState(int state);
    int state() const { return m_state; }

    // The image name the button shows now.
    QString currentImageName() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QString m_off;
    QString m_on;
    QString m_hover;
    int m_state = 0;
    bool m_hovered = false;
};
