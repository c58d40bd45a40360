#include "controls/TextViewWithPlaceHolder.h"

TextViewWithPlaceHolder::TextViewWithPlaceHolder(QWidget* parent)
    : QPlainTextEdit(parent)
{
}
