#pragma once

#include <QValidator>
#include <limits>

// The validator of digits-only fields: an edit is taken only when the whole text
// still obeys OnlyIntegerText's rule; otherwise the field keeps its text.
class OnlyIntegerValueFormatter : public QValidator {
    Q_OBJECT
public:
    explicit OnlyIntegerValueFormatter(QObject* parent = nullptr);

    void setMaximumValue(int value) { m_maximumValue = value; }
    int maximumValue() const { return m_maximumValue; }
    void setMaximumLength(int length) { m_maximumLength = length; }
    int maximumLength() const { return m_maximumLength; }

    State validate(QString& input, int& position) const override;

private:
    int m_maximumLength = std::numeric_limits<int>::max();
    int m_maximumValue = std::numeric_limits<int>::max();
};
