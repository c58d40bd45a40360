#pragma once

#include "controls/TextViewWithPlaceHolder.h"

// A multi-line field of the form. Every change the user makes passes the form's
// length rule first (FieldTyping::textViewChange): a change that does not make the
// text longer is always taken, a longer one only as far as it fits. userEdited()
// follows each change the user made; showText() fills the view without it, so
// that filling the form never counts as an edit.
class FormTextView : public TextViewWithPlaceHolder {
    Q_OBJECT
public:
    explicit FormTextView(QWidget* parent = nullptr);

    void showText(const QString& text);

signals:
    void userEdited(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    // The part of insertion the length rule lets in at the cursor; nullopt: refused.
    std::optional<QString> admitted(const QString& insertion) const;

    bool m_filling = false;
};
