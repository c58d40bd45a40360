#include "form/widgets/MetadataFormView.h"

#include "controls/AttachedPopupTable.h"
#include "controls/DisableScrollView.h"
#include "controls/ImageNamed.h"
#include "form/DatePanelModel.h"
#include "form/widgets/DatePanelView.h"
#include "form/widgets/FieldTypingValidator.h"
#include "form/widgets/FormTextView.h"
#include "model/MetaDataObject.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QShortcut>
#include <QStyle>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The form's look: light-grey borders, a dark border round every field the form
// record marks edited, a red one round a field whose text fails its check.
const char* const kFormStyle = R"(
#vwMetaContainer { background: #f4f4f6; }
#vwMetaDataFields { background: #f4f4f6; }
QLineEdit, QPlainTextEdit { background: white; border: 1px solid #c8c8cc; border-radius: 3px; padding: 2px 4px; }
QLineEdit[displayOnly="true"], QPlainTextEdit[displayOnly="true"] { background: #ececef; color: #555; }
QLineEdit[edited="true"], QPlainTextEdit[edited="true"] { border: 1px solid black; }
QLineEdit[invalid="true"], QPlainTextEdit[invalid="true"] { border: 1px solid #c62828; }
QLabel[role="error"] { color: #c62828; font-size: 11px; }
QLabel[role="section"] { font-weight: bold; color: #333; padding-top: 8px; }
QLabel[role="fieldLabel"] { color: #333; }
QLabel[role="placeholder"] { color: #9a9aa0; }
#vwPleaseWait { background: rgba(255, 255, 255, 200); font-size: 16px; font-weight: bold; color: #333; }
#bgEditingOption { border: 1px solid #555; border-radius: 5px; background: white; }
#bgEditingOption QLineEdit { border: none; background: transparent; }
)";

// The title of each group where a tab holds more than one.
QString sectionTitle(const FormField& field)
{
    switch (fieldInfo(field.field).group) {
    case FieldGroup::General:
        return QStringLiteral("Description and rights");
    case FieldGroup::Cam:
        return QStringLiteral("Camera");
    case FieldGroup::Date:
        return QStringLiteral("Exif dates");
    case FieldGroup::CamSetting:
        return QStringLiteral("Camera settings");
    case FieldGroup::AdvCamSetting:
        return QStringLiteral("Advanced settings");
    case FieldGroup::Lens:
        return QStringLiteral("Lens");
    case FieldGroup::DimResolution:
        return QStringLiteral("Dimensions and resolution");
    case FieldGroup::GPS:
        return QStringLiteral("GPS position");
    case FieldGroup::IPTC:
        return QStringLiteral("IPTC");
    case FieldGroup::XMP:
        break;
    }
    return QStringLiteral("XMP dates");
}

bool takesTypedText(FieldKind kind)
{
    return kind == FieldKind::Line || kind == FieldKind::Integer || kind == FieldKind::Decimal
        || kind == FieldKind::TextView;
}

// Shown on every control of a field that a write never puts into the photo.
const char* const kNotWrittenToolTip = "Velloran does not write this field.";

// Read-only and greyed: the field shows what the record holds but takes no edit.
void showAsDisplayOnly(QWidget* control, const FormField& field)
{
    control->setProperty("displayOnly", true);
    if (!field.written)
        control->setToolTip(QString::fromLatin1(kNotWrittenToolTip));
}

// The components of a pixel in the order of the seven boxes.
const QStringList& componentNames()
{
    static const QStringList names = { QStringLiteral("Y"), QStringLiteral("Cb"), QStringLiteral("Cr"),
        QStringLiteral("R"), QStringLiteral("G"), QStringLiteral("B"), QStringLiteral("none") };
    return names;
}

} // namespace

MetadataFormView::MetadataFormView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("vwMetaContainer"));
    // The form paints its own light background, with the texts to go on it,
    // whatever window it sits in.
    setAttribute(Qt::WA_StyledBackground, true);
    setPalette(style()->standardPalette());
    setStyleSheet(QString::fromLatin1(kFormStyle));
    initVelloranResources();
    m_tables.loadCountries();
    m_popup = new AttachedPopupTable(this);
    m_datePopup = new AttachedPopupTable(this);
    m_datePopup->setWindowName(QStringLiteral("attachedPopUpWindowForDate"));
    m_datePopup->setCompanion(m_popup);
    setButtonsRoot(this);
    buildForm();

    const auto freezeScrolling = [this](bool open) { m_scroll->setScrollingEnabled(!open); };
    connect(m_popup, &AttachedPopupTable::openChanged, this, freezeScrolling);
    connect(m_datePopup, &AttachedPopupTable::openChanged, this, [this, freezeScrolling](bool open) {
        freezeScrolling(open);
        if (!open)
            m_dateSetting.reset();
    });
    connect(&m_state, &MetadataFormState::paramsChangedChanged, this, [this](bool changed) {
        isMetadataParamChanged(changed);
        emit paramsChangedChanged(changed);
    });
    connect(&m_state, &MetadataFormState::loadingChanged, this, &MetadataFormView::showLoading);
    connect(&m_state, &MetadataFormState::loadingChanged, this, &MetadataFormView::loadingChanged);

    isMetadataParamChanged(false);
    setEditor(nullptr);
    showTab(FormTab::General);
}

MetadataFormView::~MetadataFormView()
{
    // An open pop-up goes with the form, the date panel inside it too: handing a
    // view back to a form that is going away would touch a dying window.
    m_popup->discard();
    m_datePopup->discard();
    m_state.mergeJob().waitForDone();
}

DatePanelView& MetadataFormView::datePanel() const
{
    if (!m_datePanel) {
        auto* self = const_cast<MetadataFormView*>(this);
        m_datePanel = new DatePanelView(self);
        m_datePanel->hide();
        m_datePanel->setListPopup(m_popup);
        connect(m_datePanel, &DatePanelView::changed, self, &MetadataFormView::updateDateTimeMetaDataConfiguration);
    }
    return *m_datePanel;
}

void MetadataFormView::resetDatePanel()
{
    if (m_datePanel)
        m_datePanel->resetDateTimeConfigView();
}

void MetadataFormView::buildForm()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 8);
    layout->setSpacing(6);
    m_topRow = new QHBoxLayout;
    m_topRow->setSpacing(4);
    m_topRow->addWidget(buildEditingOptions(), 1);
    layout->addLayout(m_topRow);

    m_segment = new QTabBar(this);
    m_segment->setObjectName(QStringLiteral("segmentMetaEdit"));
    m_segment->setExpanding(true);
    m_segment->setDrawBase(false);
    // A click on a tab takes the keyboard, so the arrows then go on through the tabs
    // and never reach a control the click left the keyboard on.
    m_segment->setFocusPolicy(Qt::StrongFocus);
    for (const FormTabInfo& tab : FormFieldTable::tabs())
        m_segment->addTab(QString(tab.title).replace(u'&', QStringLiteral("&&")));
    layout->addWidget(m_segment);

    m_scroll = new DisableScrollView(this);
    m_scroll->setObjectName(QStringLiteral("scrollViewExifData"));
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_fieldsArea = new QWidget;
    m_fieldsArea->setObjectName(QStringLiteral("vwMetaDataFields"));
    auto* fieldsLayout = new QVBoxLayout(m_fieldsArea);
    fieldsLayout->setContentsMargins(4, 4, 12, 4);
    m_controls.reserve(FormFieldTable::sharedTable().fields().size());
    for (const FormTabInfo& tab : FormFieldTable::tabs()) {
        QWidget* view = buildTab(tab);
        // Only the first tab shows at first; a hidden one is laid out when it is
        // first shown, not while the window opens.
        view->setVisible(m_tabs.isEmpty());
        m_tabs.append(view);
        fieldsLayout->addWidget(view);
    }
    fieldsLayout->addStretch(1);
    m_scroll->setWidget(m_fieldsArea);
    layout->addWidget(m_scroll, 1);
    layout->addWidget(buildApplyRevert());

    // The table's order: controlFor finds a field's control by its index.
    std::sort(m_controls.begin(), m_controls.end(), [](const FieldControl& a, const FieldControl& b) {
        return fieldIndex(a.field->field) < fieldIndex(b.field->field);
    });

    m_loading = new QLabel(MetadataFormState::kPleaseWait, this);
    m_loading->setObjectName(QStringLiteral("vwPleaseWait"));
    m_loading->setAlignment(Qt::AlignCenter);
    m_loading->hide();

    connect(m_segment, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index >= 0)
            showTab(static_cast<FormTab>(index));
    });
    // The arrows and the wheel move the tab bar's current tab: its page comes with it.
    connect(m_segment, &QTabBar::currentChanged, this, [this](int index) {
        if (index >= 0 && !m_showingTab)
            showTab(static_cast<FormTab>(index));
    });
    // From anywhere in the form, as in any tabbed window.
    const auto stepTabs = [this](const QList<QKeySequence>& keys, int step) {
        for (const QKeySequence& key : keys) {
            auto* shortcut = new QShortcut(key, this);
            shortcut->setContext(Qt::WidgetWithChildrenShortcut);
            connect(shortcut, &QShortcut::activated, this, [this, step] {
                const int count = m_segment->count();
                showTab(static_cast<FormTab>((m_segment->currentIndex() + step + count) % count));
            });
        }
    };
    stepTabs({ QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown) }, 1);
    stepTabs({ QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
                 QKeySequence(Qt::CTRL | Qt::Key_PageUp) },
        -1);
}

QWidget* MetadataFormView::buildEditingOptions()
{
    m_editingOptions = new QWidget(this);
    m_editingOptions->setObjectName(QStringLiteral("vwEditingOptions"));
    auto* row = new QHBoxLayout(m_editingOptions);
    row->setContentsMargins(0, 0, 0, 0);
    auto* title = new QLabel(QStringLiteral("Editing mode"), m_editingOptions);
    title->setProperty("role", QStringLiteral("fieldLabel"));
    row->addWidget(title);
    auto* frame = new QFrame(m_editingOptions);
    frame->setObjectName(QStringLiteral("bgEditingOption"));
    auto* inner = new QHBoxLayout(frame);
    inner->setContentsMargins(4, 1, 2, 1);
    m_editingOption = new QLineEdit(frame);
    m_editingOption->setObjectName(QStringLiteral("txtMetatDataEditingOption"));
    m_editingOption->setReadOnly(true);
    m_editingOption->installEventFilter(this);
    auto* button = new QToolButton(frame);
    button->setObjectName(QStringLiteral("btnEditingOption"));
    button->setArrowType(Qt::DownArrow);
    button->setAutoRaise(true);
    inner->addWidget(m_editingOption, 1);
    inner->addWidget(button);
    row->addWidget(frame, 1);
    connect(button, &QToolButton::clicked, this, &MetadataFormView::btnEditingOptionTapped);
    return m_editingOptions;
}

QAbstractButton* MetadataFormView::addMetadataMoreOptionsButton()
{
    if (auto* existing = findChild<QToolButton*>(QStringLiteral("btnMetadataMoreOptions")))
        return existing;
    // Beside the editing mode, and on and off with it: with no photo ticked its
    // Clean Metadata would open a tab of boxes that take nothing.
    auto* more = new QToolButton(this);
    more->setObjectName(QStringLiteral("btnMetadataMoreOptions"));
    more->setText(QStringLiteral("\u22EF"));
    more->setAutoRaise(true);
    more->setFocusPolicy(Qt::StrongFocus);
    more->setToolTip(tr("More options: Reset, Clean Metadata"));
    more->setAccessibleName(tr("More metadata options"));
    m_topRow->addWidget(more);
    m_moreOptions = more;
    more->setEnabled(editor().acceptsEdits());
    return more;
}

QWidget* MetadataFormView::buildApplyRevert()
{
    m_applyRevert = new QWidget(this);
    m_applyRevert->setObjectName(QStringLiteral("vwApplyRevert"));
    auto* row = new QHBoxLayout(m_applyRevert);
    row->setContentsMargins(0, 2, 0, 0);
    row->addStretch(1);
    // Each button has an inert twin that stands in its place while there is
    // nothing to apply or revert.
    const auto pair = [this, row](QPushButton*& button, QPushButton*& note, const char* name, const char* noteName,
                          const QString& title) {
        button = new QPushButton(title, m_applyRevert);
        button->setObjectName(QString::fromLatin1(name));
        note = new QPushButton(title, m_applyRevert);
        note->setObjectName(QString::fromLatin1(noteName));
        note->setEnabled(false);
        row->addWidget(button);
        row->addWidget(note);
    };
    pair(m_revert, m_revertNote, "btnRevertExifInfo", "lblOnRevert", QStringLiteral("Revert"));
    pair(m_apply, m_applyNote, "btnApplyChanges", "lblOnApply", QStringLiteral("Apply"));
    m_apply->setDefault(true);
    connect(m_apply, &QPushButton::clicked, this, &MetadataFormView::btnApplyMetaDataTapped);
    connect(m_revert, &QPushButton::clicked, this, &MetadataFormView::btnRevertExifInfoTapped);
    return m_applyRevert;
}

QWidget* MetadataFormView::buildTab(const FormTabInfo& tab)
{
    auto* view = new QWidget(m_fieldsArea);
    view->setObjectName(tab.objectName);
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(0, 0, 0, 0);
    if (tab.tab == FormTab::ClearOptions) {
        buildClearBoxes(view, layout);
        return view;
    }
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(3);
    grid->setColumnStretch(1, 1);
    grid->setColumnMinimumWidth(0, 150);
    layout->addLayout(grid);
    if (tab.tab == FormTab::Gps)
        buildMapButton(view, layout);
    layout->addStretch(1);

    const QList<const FormField*> fields = FormFieldTable::sharedTable().fieldsOnTab(tab.tab);
    bool severalGroups = false;
    for (const FormField* f : fields)
        severalGroups = severalGroups || fieldInfo(f->field).group != fieldInfo(fields.first()->field).group;
    int row = 0;
    std::optional<FieldGroup> group;
    for (const FormField* f : fields) {
        if (severalGroups && group != fieldInfo(f->field).group) {
            group = fieldInfo(f->field).group;
            auto* title = new QLabel(sectionTitle(*f), view);
            title->setProperty("role", QStringLiteral("section"));
            grid->addWidget(title, row++, 0, 1, 2);
        }
        buildFieldRow(*f, grid, row, view);
    }
    return view;
}

void MetadataFormView::buildFieldRow(const FormField& field, QGridLayout* grid, int& row, QWidget* tab)
{
    FieldControl control;
    control.field = &field;
    auto* label = new QLabel(field.label, tab);
    label->setProperty("role", QStringLiteral("fieldLabel"));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(label, row, 0, field.kind == FieldKind::TextView ? Qt::AlignTop : Qt::Alignment());

    QWidget* cell = nullptr;
    switch (field.kind) {
    case FieldKind::TextView:
        cell = buildTextView(field, control, tab);
        break;
    case FieldKind::CheckBox:
        cell = buildComponentBoxes(field, tab);
        break;
    default:
        cell = buildLineField(field, control, tab);
        break;
    }
    grid->addWidget(cell, row, 1);
    ++row;

    if (takesTypedText(field.kind)) {
        auto* error = new QLabel(tab);
        error->setObjectName(QStringLiteral("txt") + field.name + QStringLiteral("_error"));
        error->setProperty("role", QStringLiteral("error"));
        error->hide();
        grid->addWidget(error, row++, 1);
        control.errorLabel = error;
    }
    if (const std::optional<DateSetting> setting = DatePanelModel::dateSettingOfField(field.field)) {
        auto* warning = new QLabel(tab);
        warning->setObjectName(DatePanelModel::warningLabelName(*setting));
        warning->setProperty("role", QStringLiteral("error"));
        warning->hide();
        grid->addWidget(warning, row++, 1);
        m_dateWarnings.insert(static_cast<int>(*setting), warning);
    }
    m_controls.append(control);
}

// A field of several lines, typed into unless it only shows.
QWidget* MetadataFormView::buildTextView(const FormField& field, FieldControl& control, QWidget* tab)
{
    auto* view = new FormTextView(tab);
    view->setObjectName(field.objectName);
    view->setFixedHeight(64);
    view->setTabChangesFocus(true);
    control.textView = view;
    control.box = view;
    if (!field.placeholderLabelName.isEmpty()) {
        auto* placeholder = new QLabel(FormDisplay::kMultipleValues, view->viewport());
        placeholder->setObjectName(field.placeholderLabelName);
        placeholder->setProperty("role", QStringLiteral("placeholder"));
        placeholder->setAttribute(Qt::WA_TransparentForMouseEvents);
        placeholder->move(4, 3);
        placeholder->adjustSize();
        placeholder->hide();
        control.placeholderLabel = placeholder;
    }
    const MetadataField f = field.field;
    if (field.editable) {
        connect(view, &FormTextView::userEdited, this, [this, f](const QString& text) {
            if (const FieldControl* c = controlFor(f))
                fieldTyped(*c, text);
        });
    } else {
        view->setReadOnly(true);
        showAsDisplayOnly(view, field);
    }
    return view;
}

// The components boxes: shown for reference, never written.
QWidget* MetadataFormView::buildComponentBoxes(const FormField& field, QWidget* tab)
{
    auto* boxes = new QWidget(tab);
    auto* line = new QHBoxLayout(boxes);
    line->setContentsMargins(0, 0, 0, 0);
    const QStringList names = FormFieldTable::componentsConfigurationBoxes();
    for (int i = 0; i < names.size(); ++i) {
        auto* box = new QCheckBox(componentNames().value(i), boxes);
        box->setObjectName(names[i]);
        // Shown for reference: the form never writes the components.
        box->setEnabled(false);
        if (!field.written)
            box->setToolTip(QString::fromLatin1(kNotWrittenToolTip));
        line->addWidget(box);
    }
    line->addStretch(1);
    return boxes;
}

// A one-line field: typed into, chosen from a list or the date panel beside it,
// or only shown. Answers the cell the grid takes, the field with its button if it
// has one.
QWidget* MetadataFormView::buildLineField(const FormField& field, FieldControl& control, QWidget* tab)
{
    auto* lineEdit = new QLineEdit(tab);
    lineEdit->setObjectName(field.objectName);
    control.line = lineEdit;
    control.box = lineEdit;
    QWidget* cell = lineEdit;
    const MetadataField f = field.field;
    if (field.kind == FieldKind::DropDown || field.kind == FieldKind::Date) {
        // Chosen from a list or the date panel: typed text would be garbage.
        lineEdit->setReadOnly(true);
        lineEdit->installEventFilter(this);
        cell = new QWidget(tab);
        auto* line = new QHBoxLayout(cell);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(2);
        auto* button = new QToolButton(cell);
        const bool dropDown = field.kind == FieldKind::DropDown;
        button->setObjectName(
            (dropDown ? QStringLiteral("btnDropDown") : QStringLiteral("btnDatePicker")) + field.name);
        if (dropDown)
            button->setArrowType(Qt::DownArrow);
        else
            button->setText(QStringLiteral("\u2026"));
        lineEdit->setParent(cell);
        line->addWidget(lineEdit, 1);
        line->addWidget(button);
        connect(button, &QToolButton::clicked, this, [this, f, dropDown] {
            if (const FieldControl* c = controlFor(f))
                dropDown ? btnDropDownTapped(*c) : btnDatePickerTapped(*c);
        });
        if (!field.editable) {
            // Its list or panel never opens: the field takes no choice.
            button->setEnabled(false);
            showAsDisplayOnly(lineEdit, field);
            button->setToolTip(lineEdit->toolTip());
        }
    } else if (!field.editable) {
        lineEdit->setReadOnly(true);
        showAsDisplayOnly(lineEdit, field);
    } else {
        if (field.kind == FieldKind::Integer || field.kind == FieldKind::Decimal)
            lineEdit->setValidator(new FieldTypingValidator(field.field, lineEdit));
        connect(lineEdit, &QLineEdit::textEdited, this, [this, f](const QString& text) {
            if (const FieldControl* c = controlFor(f))
                fieldTyped(*c, text);
        });
    }
    return cell;
}

void MetadataFormView::buildClearBoxes(QWidget* tab, QVBoxLayout* layout)
{
    auto* intro = new QLabel(QStringLiteral("Remove these groups of metadata from every ticked photo:"), tab);
    intro->setWordWrap(true);
    intro->setProperty("role", QStringLiteral("fieldLabel"));
    layout->addWidget(intro);
    for (const ClearBox& clear : FormFieldTable::clearBoxes()) {
        auto* box = new QCheckBox(clear.label, tab);
        box->setObjectName(clear.objectName);
        layout->addWidget(box);
        m_clearBoxes.insert(static_cast<int>(clear.flag), box);
        const ClearFlag flag = clear.flag;
        connect(box, &QCheckBox::clicked, this, [this, flag](bool on) { clearBoxTapped(flag, on); });
    }
    layout->addStretch(1);
}

void MetadataFormView::buildMapButton(QWidget* tab, QVBoxLayout* layout)
{
    auto* row = new QHBoxLayout;
    row->setContentsMargins(160, 6, 0, 0);
    m_showMap = new QPushButton(QStringLiteral("Show Map\u2026"), tab);
    m_showMap->setObjectName(QStringLiteral("btnShowMap"));
    m_showMap->setToolTip(QStringLiteral("Choose the position of the ticked photos on a map"));
    // The editor's lists leave it enabled; it follows the form area otherwise.
    m_showMap->setProperty(AttachedPopupTable::kStaysEnabledProperty, true);
    m_showMap->hide();
    row->addWidget(m_showMap);
    row->addStretch(1);
    layout->addLayout(row);
    connect(m_showMap, &QPushButton::clicked, this, [this] {
        if (m_mapPickerOpener)
            m_mapPickerOpener(*this);
    });
}

void MetadataFormView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_loading->setGeometry(rect());
}

bool MetadataFormView::eventFilter(QObject* watched, QEvent* event)
{
    // A click on a read-only list or date field opens its list or panel, as its
    // button does; so do Space, Return and Alt+Down on it.
    const bool click
        = event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    bool key = false;
    if (event->type() == QEvent::KeyPress) {
        const auto* press = static_cast<QKeyEvent*>(event);
        key = press->key() == Qt::Key_Space || press->key() == Qt::Key_Return || press->key() == Qt::Key_Enter
            || (press->key() == Qt::Key_Down && (press->modifiers() & Qt::AltModifier));
    }
    if (click || key) {
        if (watched == m_editingOption) {
            btnEditingOptionTapped();
            return true;
        }
        for (const FieldControl& control : std::as_const(m_controls)) {
            if (control.line != watched || !control.field->editable)
                continue;
            if (control.field->kind == FieldKind::DropDown)
                btnDropDownTapped(control);
            else if (control.field->kind == FieldKind::Date)
                btnDatePickerTapped(control);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MetadataFormView::setViewForSelectedIndex(int)
{
    showTab(FormFieldTable::tabForMetaDataOption(m_selectedMetaDataOptionIndex));
}

void MetadataFormView::showTab(FormTab tab)
{
    const int index = static_cast<int>(tab);
    {
        const QScopedValueRollback showing(m_showingTab, true);
        m_segment->setCurrentIndex(index);
    }
    for (int i = 0; i < m_tabs.size(); ++i)
        m_tabs[i]->setVisible(i == index);
    m_scroll->ensureVisible(0, 0);
    // The clear boxes count only in the clean mode: its tab brings the mode, and
    // leaving the tab leaves it.
    if (const MetaDataObject* record = editor().record()) {
        const int mode = MetadataFormState::editingOptionForTab(tab, record->editingOption);
        if (mode != record->editingOption)
            editor().setEditingOption(mode);
    }
    showEditingOption();
}

void MetadataFormView::setButtonsRoot(QWidget* root)
{
    m_popup->setButtonsRoot(root);
    m_datePopup->setButtonsRoot(root);
}

FormTab MetadataFormView::currentTab() const
{
    return static_cast<FormTab>(m_segment->currentIndex());
}
