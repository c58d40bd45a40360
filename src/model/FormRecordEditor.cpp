#include "model/FormRecordEditor.h"

FormRecordEditor::FormRecordEditor(QObject* parent)
    : QObject(parent)
{
}

FormRecordEditor::~FormRecordEditor() = default;
