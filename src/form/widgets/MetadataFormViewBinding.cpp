// How the form shows its records and forwards the user's edits to them.
#include "controls/AttachedPopupTable.h"
#include "controls/DisableScrollView.h"
#include "batch/alerts/AlertCatalog.h"
#include "controls/Presenter.h"
#include "form/DatePanelModel.h"
#include "form/FieldTyping.h"
#include "form/FieldValidation.h"
#include "form/MapPicker.h"
#include "form/widgets/DatePanelView.h"
#include "form/widgets/FormTextView.h"
#include "form/widgets/MetadataFormView.h"
#include "model/GpsHemisphere.h"
#include "model/MetaDataObject.h"

#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyle>

namespace {

void setStyleProperty(QWidget* widget, const char* name, bool on)
{
    if (!widget || widget->property(name).toBool() == on)
        return;
    widget->setProperty(name, on);
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
}

// What a form without a record shows: empty fields (the form is disabled then).
const MetaDataObject& noRecord()
{
    static const MetaDataObject empty;
    return empty;
}

} // namespace

const MetadataFormView::FieldControl* MetadataFormView::controlFor(MetadataField field) const
{
    const std::size_t index = fieldIndex(field);
    return index < static_cast<std::size_t>(m_controls.size()) ? &m_controls[static_cast<qsizetype>(index)] : nullptr;
}

const MetaDataObject& MetadataFormView::editedRecord() const
{
    const MetaDataObject* record = editor().record();
    return record ? *record : noRecord();
}

const MetaDataObject& MetadataFormView::shownRecord() const
{
    const MetaDataObject* record = editor().shownRecord();
    return record ? *record : noRecord();
}

void MetadataFormView::setupUIForSelectedPhotoFiles(const QList<std::shared_ptr<PhotoFile>>& photos)
{
    if (!editsSelection())
        return; // a form with another editor never speaks for the selection
    hideAllErrorLabels();
    m_state.setupUIForSelectedPhotoFiles(photos);
}

void MetadataFormView::resetMetadata()
{
    m_state.reset();
}

void MetadataFormView::setEditor(FormRecordEditor* editor)
{
    m_popup->dismissPanel();
    m_datePopup->dismissPanel();
    disconnect(m_editorFieldEdited);
    disconnect(m_editorRecordsReplaced);
    m_editor = editor == &m_state ? nullptr : editor;
    FormRecordEditor& current = this->editor();
    m_editorFieldEdited = connect(&current, &FormRecordEditor::fieldEdited, this, &MetadataFormView::showEditedField);
    m_editorRecordsReplaced
        = connect(&current, &FormRecordEditor::recordsReplaced, this, &MetadataFormView::recordsReplaced);
    m_applyRevert->setVisible(editsSelection());
    recordsReplaced();
}

void MetadataFormView::recordsReplaced()
{
    hideAllErrorLabels();
    updateTextFieldsValues();
    showPlaceholders();
    highlightBorder();
    // enableExifDataView: nothing to edit without a ticked photo or a chosen preset.
    const bool enabled = editor().acceptsEdits();
    m_fieldsArea->setEnabled(enabled);
    for (QWidget* editingMode : { m_editingOptions, static_cast<QWidget*>(m_moreOptions.data()) }) {
        if (editingMode)
            editingMode->setEnabled(enabled);
    }
    if (editsSelection())
        emit mergedRecordChanged();
}

void MetadataFormView::showEditedField(MetadataField field)
{
    const FieldControl* control = controlFor(field);
    if (!control)
        return;
    // A typed field keeps the text as the user types it.
    if (m_typingField != field)
        showField(*control);
    highlight(*control);
    if (control->line)
        control->line->setPlaceholderText(QString());
    if (control->placeholderLabel)
        control->placeholderLabel->hide();
}

void MetadataFormView::updateTextFieldsValues()
{
    for (const FieldControl& control : std::as_const(m_controls))
        showField(control);
    showEditingOption();
    const MetaDataObject& form = editedRecord();
    for (auto it = m_clearBoxes.cbegin(); it != m_clearBoxes.cend(); ++it)
        it.value()->setChecked(form.clearFlag(static_cast<ClearFlag>(it.key())));
    showDateWarnings();
}

void MetadataFormView::showEditingOption()
{
    const QString text = FormFieldTable::editingOptionText(editedRecord().editingOption);
    m_editingOption->setText(text);
    // setText leaves the cursor at the end: a box narrower than its text (a small
    // screen, a large scale) would show the mode's last words instead of its first.
    m_editingOption->setCursorPosition(0);
    m_editingOption->setToolTip(text);
}

void MetadataFormView::showField(const FieldControl& control)
{
    const QString text = FormDisplay::displayText(*control.field, shownRecord(), m_tables);
    if (control.line && control.line->text() != text)
        control.line->setText(text);
    if (control.textView)
        control.textView->showText(text);
}

void MetadataFormView::showPlaceholders()
{
    const PlaceholderState none;
    const PlaceholderState& placeholders = editsSelection() ? m_state.placeholders() : none;
    for (const FieldControl& control : std::as_const(m_controls)) {
        const QString text = placeholders.placeholderText(control.field->field);
        if (control.line)
            control.line->setPlaceholderText(text);
        if (control.placeholderLabel) {
            control.placeholderLabel->setVisible(
                placeholders.showsMultipleValues(control.field->field) && control.textView->toPlainText().isEmpty());
        } else if (control.textView) {
            control.textView->setPlaceholderString(text);
        }
    }
}

void MetadataFormView::highlightBorder()
{
    for (const FieldControl& control : std::as_const(m_controls))
        highlight(control);
}

void MetadataFormView::highlight(const FieldControl& control)
{
    setStyleProperty(control.box, "edited", FormDisplay::isHighlighted(*control.field, editedRecord()));
}

void MetadataFormView::showDateWarnings()
{
    const std::array<QString, kDateSettingCount> warnings = MetadataFormState::dateWarnings(editedRecord());
    for (auto it = m_dateWarnings.cbegin(); it != m_dateWarnings.cend(); ++it) {
        const QString& warning = warnings[static_cast<std::size_t>(it.key())];
        it.value()->setText(warning);
        it.value()->setVisible(!warning.isEmpty());
    }
}

void MetadataFormView::hideAllErrorLabels()
{
    for (const FieldControl& control : std::as_const(m_controls)) {
        if (control.errorLabel)
            control.errorLabel->hide();
        setStyleProperty(control.box, "invalid", false);
    }
}

void MetadataFormView::showFieldCheck(const FieldControl& control, const QString& text)
{
    const FieldCheck check = FieldValidation::isValidText(shownRecord(), control.field->field, text);
    if (control.errorLabel) {
        control.errorLabel->setText(check.message);
        control.errorLabel->setVisible(!check.valid);
    }
    setStyleProperty(control.box, "invalid", !check.valid);
}

void MetadataFormView::fieldTyped(const FieldControl& control, const QString& text)
{
    QString kept = text;
    if (control.line) {
        kept = FieldTyping::fieldText(text);
        if (kept != text)
            control.line->setText(kept);
        control.line->setPlaceholderText(QString());
    }
    if (control.placeholderLabel)
        control.placeholderLabel->hide();
    showFieldCheck(control, kept);
    storeEdit(control, kept);
}

void MetadataFormView::storeEdit(const FieldControl& control, const QString& text)
{
    // The one path of typed text into a record: a typed IPTC date is stored in
    // IPTC's form.
    const MetadataField field = control.field->field;
    m_typingField = field;
    editor().editField(field, FieldTyping::storedText(field, text));
    m_typingField.reset();
}

void MetadataFormView::btnDropDownTapped(const FieldControl& control)
{
    const int tag = control.field->dropDownTag;
    const MetadataField field = control.field->field;
    const auto chosen = [this, tag, field](int row) {
        if (const std::optional<QString> value = m_tables.storedValueForRow(tag, row))
            editor().editField(field, *value);
        // A hemisphere decides whether the coordinate's sign still fits it.
        if (const GpsAxis* axis = GpsHemisphere::axisOfReference(field)) {
            if (const FieldControl* coordinate = controlFor(axis->coordinate))
                showFieldCheck(*coordinate, shownRecord().field(axis->coordinate));
        }
    };
    AttachedPopupTable::ListOptions options;
    options.type = tag;
    options.currentRow = m_tables.rowForValue(tag, editedRecord().field(field));
    m_popup->open(control.line, m_tables.getArrayForDropDownOptionsForTag(tag), chosen, options);
}

void MetadataFormView::setMapPickerOpener(MapPickerOpener opener)
{
    m_mapPickerOpener = std::move(opener);
    m_showMap->setVisible(bool(m_mapPickerOpener));
}

void MetadataFormView::changeLocationToTitle(const QString& title, double latitude, double longitude)
{
    MapPicker::changeLocationToTitle(editor(), title, latitude, longitude);
    showPickedFieldChecks();
}

void MetadataFormView::removeLocationcordinates()
{
    MapPicker::removeLocationcordinates(editor());
    showPickedFieldChecks();
}

void MetadataFormView::showPickedFieldChecks()
{
    // Each coordinate checked as a typed one is, against its new hemisphere.
    for (const GpsAxis& axis : kGpsAxes) {
        if (const FieldControl* control = controlFor(axis.coordinate))
            showFieldCheck(*control, shownRecord().field(axis.coordinate));
    }
}

void MetadataFormView::btnDatePickerTapped(const FieldControl& control)
{
    const std::optional<DateSetting> setting = DatePanelModel::dateSettingOfField(control.field->field);
    if (!setting)
        return;
    datePanel().loadFrom(*editedRecord().dateTimeConfig(*setting));
    m_datePopup->showView(control.line, &datePanel());
    m_dateSetting = setting;
}

void MetadataFormView::updateDateTimeMetaDataConfiguration()
{
    if (!m_dateSetting)
        return;
    auto config = std::make_shared<DateTimeConfiguration>();
    datePanel().model().writeTo(*config);
    const QString summary = DatePanelModel::summaryText(*config);
    editor().setDateTimeConfiguration(*m_dateSetting, std::move(config), summary);
    showDateWarnings();
}

void MetadataFormView::btnEditingOptionTapped()
{
    AttachedPopupTable::ListOptions options;
    options.currentRow = editedRecord().editingOption;
    m_popup->open(
        m_editingOption, FormFieldTable::editingOptionTexts(),
        [this](int row) { changeViewAccordingToMetadataOtion(row); }, options);
}

void MetadataFormView::chooseEditingOption(int editingOption)
{
    editor().setEditingOption(editingOption);
    showEditingOption();
}

void MetadataFormView::changeViewAccordingToMetadataOtion(int editingOption)
{
    // The clear boxes count only in the clean mode, so the mode and the clean tab
    // come and go together.
    if (editingOption == MetaDataObject::CleanMetadataInfo) {
        showTab(FormTab::ClearOptions);
        return;
    }
    if (currentTab() == FormTab::ClearOptions)
        showTab(FormTab::General);
    chooseEditingOption(editingOption);
}

void MetadataFormView::clearBoxTapped(ClearFlag flag, bool on)
{
    editor().setClearFlag(flag, on);
}

bool MetadataFormView::isValidFormData()
{
    const FormValidationResult result = FieldValidation::isValidFormData(editor());
    hideAllErrorLabels();
    for (const FieldError& error : result.fieldErrors) {
        const FieldControl* control = controlFor(error.field);
        if (!control || !control->errorLabel)
            continue;
        control->errorLabel->setText(error.message);
        control->errorLabel->show();
        setStyleProperty(control->box, "invalid", true);
    }
    showDateWarnings();
    for (const DateSettingError& error : result.dateErrors) {
        if (QLabel* label = m_dateWarnings.value(static_cast<int>(error.setting))) {
            label->setText(error.message);
            label->show();
        }
    }
    if (const std::optional<MetadataField> first = result.firstInvalidField())
        scrollToField(*first);
    else if (!result.dateErrors.isEmpty())
        scrollToField(kDateSettings[static_cast<std::size_t>(result.dateErrors.first().setting)].field);
    return result.isValid();
}

void MetadataFormView::scrollToField(MetadataField field)
{
    const FieldControl* control = controlFor(field);
    if (!control || !control->box)
        return;
    if (currentTab() != control->field->tab)
        showTab(control->field->tab);
    m_fieldsArea->layout()->activate();
    m_scroll->ensureWidgetVisible(control->box);
}

void MetadataFormView::btnApplyMetaDataTapped()
{
    if (!editsSelection() || !isValidFormData())
        return;
    m_state.apply();
    emit applied();
    emit mergedRecordChanged();
}

void MetadataFormView::btnRevertExifInfoTapped()
{
    if (!m_presenter) {
        btnYesOnRevertAlertTapped();
        return;
    }
    QPointer<MetadataFormView> self(this);
    m_presenter->presentAlert(window(), AlertCatalog::revert(), [self](int button) {
        if (self && button == 0)
            self->btnYesOnRevertAlertTapped();
    });
}

void MetadataFormView::btnYesOnRevertAlertTapped()
{
    m_state.revert();
    emit reverted();
}

void MetadataFormView::isMetadataParamChanged(bool changed)
{
    m_apply->setVisible(changed);
    m_revert->setVisible(changed);
    m_applyNote->setVisible(!changed);
    m_revertNote->setVisible(!changed);
}

void MetadataFormView::showLoading(bool shown, const QString& text)
{
    m_loading->setText(text);
    m_loading->setGeometry(rect());
    m_loading->setVisible(shown);
    if (shown)
        m_loading->raise();
}
