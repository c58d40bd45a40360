#pragma once

#include <QPlainTextEdit>

// A multi-line text view with a hint text shown while it is empty.
class TextViewWithPlaceHolder : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TextViewWithPlaceHolder(QWidget* parent = nullptr);

    void setPlaceholderString(const QString& placeholder) { setPlaceholderText(placeholder); }
    QString placeholderString() const { return placeholderText(); }
};
