#include "form/widgets/FormTextView.h"

#include "form/FieldTyping.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QSignalBlocker>
#include <QTextBlock>

FormTextView::FormTextView(QWidget* parent)
    : TextViewWithPlaceHolder(parent)
{
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_filling)
            emit userEdited(toPlainText());
    });
}

void FormTextView::showText(const QString& text)
{
    if (toPlainText() == text)
        return;
    m_filling = true;
    setPlainText(text);
    m_filling = false;
}

std::optional<QString> FormTextView::admitted(const QString& insertion) const
{
    // The document counts a paragraph separator more than the text holds.
    const int length = document()->characterCount() - 1;
    const QTextCursor cursor = textCursor();
    const int replaced = cursor.selectionEnd() - cursor.selectionStart();
    const TextViewChange change = FieldTyping::textViewChange(length, replaced, insertion);
    if (!change.accepted)
        return std::nullopt;
    return change.insertion;
}

void FormTextView::keyPressEvent(QKeyEvent* event)
{
    const QString text = event->text();
    // A read-only view takes no text, not even the part that fits.
    const bool inserts = !isReadOnly() && !text.isEmpty()
        && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
        && (text.at(0).isPrint() || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter
            || event->key() == Qt::Key_Tab);
    if (inserts) {
        const QString typed
            = (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) ? QStringLiteral("\n") : text;
        const std::optional<QString> fits = admitted(typed);
        if (!fits || *fits != typed) {
            if (fits && !fits->isEmpty())
                textCursor().insertText(*fits);
            event->accept();
            return;
        }
    }
    TextViewWithPlaceHolder::keyPressEvent(event);
}

void FormTextView::inputMethodEvent(QInputMethodEvent* event)
{
    const QString commit = event->commitString();
    if (!commit.isEmpty()) {
        const std::optional<QString> fits = admitted(commit);
        if (!fits || *fits != commit) {
            QInputMethodEvent trimmed(event->preeditString(), event->attributes());
            trimmed.setCommitString(fits.value_or(QString()), event->replacementStart(), event->replacementLength());
            TextViewWithPlaceHolder::inputMethodEvent(&trimmed);
            return;
        }
    }
    TextViewWithPlaceHolder::inputMethodEvent(event);
}

void FormTextView::insertFromMimeData(const QMimeData* source)
{
    if (!source || !source->hasText() || isReadOnly())
        return;
    const std::optional<QString> fits = admitted(source->text());
    if (!fits)
        return;
    textCursor().insertText(*fits);
}
