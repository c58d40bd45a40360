#include "batch/naming/widgets/OutputOptionsPage.h"

#include "batch/naming/RenamingChoiceLists.h"
#include "controls/AttachedPopupTable.h"
#include "controls/EditorContext.h"
#include "controls/IMGButton.h"
#include "form/FieldTyping.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kRadioOn = u"radio_btn_sel copy"_s;
const QString kRadioOff = u"radio_btn_normal copy"_s;
const QString kCheckOn = u"chckbox_sel copy"_s;
const QString kCheckOff = u"chckbox_normal copy"_s;

IMGButton* imageButton(QWidget* parent, const QString& name, const QString& off, const QString& on)
{
    auto* button = new IMGButton(parent);
    button->setObjectName(name);
    button->setImgOffState_En(off);
    button->setImgOnState_En(on);
    button->setFixedSize(18, 18);
    return button;
}

QLineEdit* field(QWidget* parent, const QString& name, const QString& placeholder = {})
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setPlaceholderText(placeholder);
    return edit;
}

// A check box or tick image with its caption; clicking the caption clicks the box.
class CaptionLabel : public QLabel {
public:
    CaptionLabel(const QString& text, IMGButton* box, QWidget* parent)
        : QLabel(text, parent)
        , m_box(box)
    {
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (m_box->isEnabled() && event->button() == Qt::LeftButton)
            m_box->click();
    }

private:
    IMGButton* m_box;
};

void setTextKeepingCursor(QLineEdit* edit, const QString& text)
{
    if (edit->text() != text)
        edit->setText(text);
}

} // namespace

OutputOptionsPage::OutputOptionsPage(EditorContext& context, QWidget* parent)
    : QWidget(parent)
    , m_context(context)
{
    setObjectName(u"vwExtentionView"_s);
    // A light background of its own, with the texts to go on it, whatever window it sits in.
    setPalette(style()->standardPalette());
    setAutoFillBackground(true);
    buildControls();
    initSetup();
}

OutputOptionsPage::~OutputOptionsPage()
{
    closeList();
}

void OutputOptionsPage::buildControls()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(u"scrlVW"_s);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    outer->addWidget(scroll);
    auto* content = new QWidget(scroll);
    scroll->setWidget(content);
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(20, 16, 20, 16);
    layout->setSpacing(12);

    auto* title = new QLabel(tr("Output File Name"), content);
    title->setObjectName(u"lblRenameTitle"_s);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() + 2);
    title->setFont(titleFont);
    layout->addWidget(title);

    layout->addLayout(buildModeRow(content));
    layout->addWidget(buildOptionRows(content));
    connectOptionControls();

    // The folder the outputs go to when the batch starts without another choice.
    auto* folderTitle = new QLabel(tr("Output Folder"), content);
    folderTitle->setFont(titleFont);
    layout->addSpacing(8);
    layout->addWidget(folderTitle);
    auto* folderRow = new QHBoxLayout;
    m_txtPathImg = field(content, u"txtPathImg"_s);
    m_txtPathImg->setReadOnly(true);
    m_btnSelectFolder = new QPushButton(tr("Choose…"), content);
    m_btnSelectFolder->setObjectName(u"btnSelectFolder"_s);
    folderRow->addWidget(m_txtPathImg, 1);
    folderRow->addWidget(m_btnSelectFolder);
    layout->addLayout(folderRow);
    connect(m_btnSelectFolder, &QPushButton::clicked, this, &OutputOptionsPage::btnSelectFolderTapped);

    layout->addStretch();
    auto* backRow = new QHBoxLayout;
    backRow->addStretch();
    m_btnBackToProperties = new QPushButton(tr("Done"), content);
    m_btnBackToProperties->setObjectName(u"btnBackToProperties"_s);
    backRow->addWidget(m_btnBackToProperties);
    layout->addLayout(backRow);
    connect(m_btnBackToProperties, &QPushButton::clicked, this, &OutputOptionsPage::btnBackToPropertiesTapped);
}

// Keep or edit the names, and the page's reset.
QHBoxLayout* OutputOptionsPage::buildModeRow(QWidget* content)
{
    auto* modeRow = new QHBoxLayout;
    m_btnKeepOriginalFileName = imageButton(content, u"btnKeepOriginalFileName"_s, kRadioOff, kRadioOn);
    m_btnEditOriginalName = imageButton(content, u"btnEditOriginalName"_s, kRadioOff, kRadioOn);
    modeRow->addWidget(m_btnKeepOriginalFileName);
    modeRow->addWidget(new CaptionLabel(tr("Keep original file names"), m_btnKeepOriginalFileName, content));
    modeRow->addSpacing(20);
    modeRow->addWidget(m_btnEditOriginalName);
    modeRow->addWidget(new CaptionLabel(tr("Rename files"), m_btnEditOriginalName, content));
    modeRow->addStretch();
    m_btnRefresh = new QPushButton(tr("Reset"), content);
    m_btnRefresh->setObjectName(u"btnRefresh"_s);
    m_btnRefresh->setToolTip(tr("Keep the original file names again"));
    modeRow->addWidget(m_btnRefresh);
    connect(
        m_btnKeepOriginalFileName, &QAbstractButton::clicked, this, [this] { btnOutputRenamingOptionTapped(false); });
    connect(m_btnEditOriginalName, &QAbstractButton::clicked, this, [this] { btnOutputRenamingOptionTapped(true); });
    connect(m_btnRefresh, &QPushButton::clicked, this, &OutputOptionsPage::refreshOutputRenamingOptionOnTapped);
    return modeRow;
}

// The five options, one row each.
QWidget* OutputOptionsPage::buildOptionRows(QWidget* content)
{
    m_vwCustomEditOriginalName = new QFrame(content);
    m_vwCustomEditOriginalName->setObjectName(u"vwCustomEditOriginalName"_s);
    auto* grid = new QGridLayout(m_vwCustomEditOriginalName);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(10);
    grid->setColumnStretch(2, 1);
    QWidget* box = m_vwCustomEditOriginalName;
    int row = 0;
    // Each option's box and caption stand on the first line of its fields: they are
    // as tall as a text field, centred in that height.
    const int lineHeight = QLineEdit(box).sizeHint().height();
    auto addOption = [&](IMGButton*& button, const QString& name, const QString& caption) {
        button = imageButton(box, name, kCheckOff, kCheckOn);
        auto* label = new CaptionLabel(caption, button, box);
        label->setFixedHeight(lineHeight);
        auto* buttonCell = new QVBoxLayout;
        buttonCell->setContentsMargins(0, (lineHeight - button->height()) / 2, 0, 0);
        buttonCell->addWidget(button);
        buttonCell->addStretch(1);
        grid->addLayout(buttonCell, row, 0);
        grid->addWidget(label, row, 1, Qt::AlignTop);
    };

    addOption(m_btnAddEXIFReplaceFilename, u"btnAddEXIFReplaceFilename"_s, tr("Custom name"));
    m_txtEXIFCustomNameShow = field(box, u"txtEXIFCustomNameShow"_s, tr("New file name"));
    grid->addWidget(m_txtEXIFCustomNameShow, row++, 2);

    addOption(m_btnAddEXIFString, u"btnAddEXIFString"_s, tr("Prefix / Suffix"));
    auto* prefixRow = new QHBoxLayout;
    prefixRow->setSpacing(8);
    m_txtAddPrefixString = field(box, u"txtAddPrefixString"_s, tr("Prefix"));
    m_txtAddSuffixString = field(box, u"txtAddSuffixString"_s, tr("Suffix"));
    prefixRow->addWidget(m_txtAddPrefixString);
    prefixRow->addWidget(m_txtAddSuffixString);
    grid->addLayout(prefixRow, row++, 2);

    addOption(m_btnAddEXIFDateTime, u"btnAddEXIFDateTime"_s, tr("Date"));
    grid->addLayout(buildDateLists(box), row++, 2);

    addOption(m_btnAddEXIFLocation, u"btnAddEXIFLocation"_s, tr("Location"));
    grid->addLayout(buildLocationParts(box, lineHeight), row++, 2);

    addOption(m_btnAddEXIFAppendWidthHeight, u"btnAddEXIFAppendWidthHeight"_s, tr("Pixel size"));
    m_txtEXIFWidthHeightShow = field(box, u"txtEXIFWidthHeightShow"_s);
    m_txtEXIFWidthHeightShow->setReadOnly(true);
    grid->addWidget(m_txtEXIFWidthHeightShow, row++, 2);
    return m_vwCustomEditOriginalName;
}

// Each list's text and its button sit together; the three lists stand apart.
QHBoxLayout* OutputOptionsPage::buildDateLists(QWidget* box)
{
    auto* dateRow = new QHBoxLayout;
    dateRow->setSpacing(0);
    auto addDateList
        = [&](QLineEdit*& text, QPushButton*& button, const QString& textName, const QString& buttonName, int tag) {
              text = field(box, textName);
              text->setReadOnly(true);
              button = new QPushButton(u"\u25BE"_s, box);
              button->setObjectName(buttonName);
              button->setProperty("tag", tag);
              button->setFixedWidth(28);
              if (dateRow->count() > 0)
                  dateRow->addSpacing(8);
              dateRow->addWidget(text, 1);
              dateRow->addWidget(button);
              connect(button, &QPushButton::clicked, this, [this, tag] { btnEXIFDateAsTapped(tag); });
              m_dateLists.append({ tag, text, button });
          };
    addDateList(m_txtEXIFas, m_btnAddEXIFDateTimeAsOption, u"txtEXIFas"_s, u"btnAddEXIFDateTimeAsOption"_s, 602);
    addDateList(
        m_txtEXIFtype, m_btnAddEXIFDateTimeTypeOption, u"txtEXIFtype"_s, u"btnAddEXIFDateTimeTypeOption"_s, 603);
    addDateList(m_txtEXIFformat, m_btnAddEXIFDateTimeFormatOption, u"txtEXIFformat"_s,
        u"btnAddEXIFDateTimeFormatOption"_s, 604);
    return dateRow;
}

// The four place names to tick, over the text they make.
QVBoxLayout* OutputOptionsPage::buildLocationParts(QWidget* box, int lineHeight)
{
    auto* locationBox = new QVBoxLayout;
    auto* ticks = new QHBoxLayout;
    ticks->setSpacing(4);
    auto addTick
        = [&](IMGButton*& tick, const QString& name, const QString& caption, OutputOptionsModel::LocationPart part) {
              tick = imageButton(box, name, kCheckOff, kCheckOn);
              ticks->addWidget(tick);
              auto* label = new CaptionLabel(caption, tick, box);
              label->setFixedHeight(lineHeight); // on the line of the option's caption
              ticks->addWidget(label);
              ticks->addSpacing(10);
              connect(tick, &QAbstractButton::clicked, this, [this, part] { btnEXIFLocationTypeTapped(part); });
          };
    addTick(m_btnPlaceGet, u"btnPlaceGet"_s, tr("Place"), OutputOptionsModel::LocationPart::Place);
    addTick(m_btnCityGet, u"btnCityGet"_s, tr("City"), OutputOptionsModel::LocationPart::City);
    addTick(m_btnStateProvinceGet, u"btnStateProvinceGet"_s, tr("State"), OutputOptionsModel::LocationPart::State);
    addTick(m_btnCountryGet, u"btnCountryGet"_s, tr("Country"), OutputOptionsModel::LocationPart::Country);
    ticks->addStretch();
    locationBox->addLayout(ticks);
    m_txtEXIFLocationShow = field(box, u"txtEXIFLocationShow"_s);
    m_txtEXIFLocationShow->setReadOnly(true);
    locationBox->addWidget(m_txtEXIFLocationShow);
    return locationBox;
}

// The option boxes and the texts typed into the options.
void OutputOptionsPage::connectOptionControls()
{
    using Option = OutputOptionsModel::Option;
    const std::pair<IMGButton*, Option> options[] = {
        { m_btnAddEXIFReplaceFilename, Option::CustomName },
        { m_btnAddEXIFString, Option::PrefixSuffix },
        { m_btnAddEXIFDateTime, Option::Date },
        { m_btnAddEXIFLocation, Option::Location },
        { m_btnAddEXIFAppendWidthHeight, Option::Size },
    };
    for (const auto& entry : options) {
        const Option option = entry.second;
        connect(entry.first, &QAbstractButton::clicked, this, [this, option] { btnEditingNameOptionTapped(option); });
    }

    // Typed or pasted texts keep only what can stand in a file name: the prefix and suffix
    // lose spaces and "/" and stop at 50 characters, the custom name loses "/" and leading
    // spaces and stops at 150. The field shows what the model keeps; warnings 114 and 115
    // still catch the empty ones.
    const auto bindText = [this](QLineEdit* edit, QString OutputOptionsModel::*text, QString (*rule)(const QString&)) {
        connect(edit, &QLineEdit::textEdited, this, [this, edit, text, rule](const QString& typed) {
            const QString kept = rule(typed);
            if (kept != typed) {
                const int cursor = edit->cursorPosition() - int(typed.size() - kept.size());
                edit->setText(kept);
                edit->setCursorPosition(std::clamp(cursor, 0, int(kept.size())));
            }
            m_model.*text = kept;
            emit optionsChanged();
        });
    };
    bindText(m_txtEXIFCustomNameShow, &OutputOptionsModel::txtEXIFCustomNameShow, &FieldTyping::customNameText);
    bindText(m_txtAddPrefixString, &OutputOptionsModel::txtAddPrefixString, &FieldTyping::renamingAffixText);
    bindText(m_txtAddSuffixString, &OutputOptionsModel::txtAddSuffixString, &FieldTyping::renamingAffixText);
}

void OutputOptionsPage::initSetup()
{
    closeList();
    m_model = OutputOptionsModel();
    m_dropDownOpen = false;
    setOutputFolderText(m_model.outputFolderLocationPath);
    refreshFromPanel();
}

void OutputOptionsPage::setOutputFolderText(const QString& folder)
{
    m_txtPathImg->setText(QDir::toNativeSeparators(folder));
}

IMGButton* OutputOptionsPage::optionCheck(OutputOptionsModel::Option option) const
{
    switch (option) {
    case OutputOptionsModel::Option::CustomName:
        return m_btnAddEXIFReplaceFilename;
    case OutputOptionsModel::Option::PrefixSuffix:
        return m_btnAddEXIFString;
    case OutputOptionsModel::Option::Date:
        return m_btnAddEXIFDateTime;
    case OutputOptionsModel::Option::Location:
        return m_btnAddEXIFLocation;
    case OutputOptionsModel::Option::Size:
        break;
    }
    return m_btnAddEXIFAppendWidthHeight;
}

IMGButton* OutputOptionsPage::locationTick(OutputOptionsModel::LocationPart part) const
{
    switch (part) {
    case OutputOptionsModel::LocationPart::Place:
        return m_btnPlaceGet;
    case OutputOptionsModel::LocationPart::City:
        return m_btnCityGet;
    case OutputOptionsModel::LocationPart::State:
        return m_btnStateProvinceGet;
    case OutputOptionsModel::LocationPart::Country:
        break;
    }
    return m_btnCountryGet;
}

void OutputOptionsPage::refreshFromPanel()
{
    const OutputOptionsModel& p = m_model;
    m_btnKeepOriginalFileName->setState(p.isEditMode() ? 0 : 1);
    m_btnEditOriginalName->setState(p.isEditMode() ? 1 : 0);
    m_btnAddEXIFReplaceFilename->setState(p.filenameCheck);
    m_btnAddEXIFString->setState(p.stringCheck);
    m_btnAddEXIFDateTime->setState(p.dateTimeCheck);
    m_btnAddEXIFLocation->setState(p.locationCheck);
    m_btnAddEXIFAppendWidthHeight->setState(p.widthHeightCheck);
    m_btnPlaceGet->setState(p.placeCheck);
    m_btnCityGet->setState(p.cityCheck);
    m_btnStateProvinceGet->setState(p.stateCheck);
    m_btnCountryGet->setState(p.countryCheck);

    setTextKeepingCursor(m_txtEXIFCustomNameShow, p.txtEXIFCustomNameShow);
    setTextKeepingCursor(m_txtAddPrefixString, p.txtAddPrefixString);
    setTextKeepingCursor(m_txtAddSuffixString, p.txtAddSuffixString);
    m_txtEXIFas->setText(p.txtEXIFas);
    m_txtEXIFtype->setText(p.txtEXIFtype);
    m_txtEXIFformat->setText(p.txtEXIFformat);
    m_txtEXIFLocationShow->setText(p.txtEXIFLocationShow);
    m_txtEXIFLocationShow->setPlaceholderText(p.txtEXIFLocationPlaceholder);
    m_txtEXIFWidthHeightShow->setText(p.txtEXIFWidthHeightShow);

    const OutputOptionsModel::Enabled enabled = p.enabledControls(m_dropDownOpen);
    for (auto option : { OutputOptionsModel::Option::CustomName, OutputOptionsModel::Option::PrefixSuffix,
             OutputOptionsModel::Option::Date, OutputOptionsModel::Option::Location, OutputOptionsModel::Option::Size })
        optionCheck(option)->setEnabled(enabled.optionChecks);
    m_btnRefresh->setEnabled(enabled.refresh);
    m_btnKeepOriginalFileName->setEnabled(enabled.keepOriginalName);
    m_btnEditOriginalName->setEnabled(enabled.editOriginalName);
    for (QPushButton* button :
        { m_btnAddEXIFDateTimeAsOption, m_btnAddEXIFDateTimeTypeOption, m_btnAddEXIFDateTimeFormatOption })
        button->setEnabled(enabled.dateListButtons);
    for (auto part : { OutputOptionsModel::LocationPart::Place, OutputOptionsModel::LocationPart::City,
             OutputOptionsModel::LocationPart::State, OutputOptionsModel::LocationPart::Country })
        locationTick(part)->setEnabled(enabled.locationTicks);
    m_txtEXIFCustomNameShow->setReadOnly(!enabled.customNameEditable);
    m_txtAddPrefixString->setReadOnly(!enabled.prefixSuffixEditable);
    m_txtAddSuffixString->setReadOnly(!enabled.prefixSuffixEditable);
    m_btnSelectFolder->setEnabled(!m_dropDownOpen);
    m_btnBackToProperties->setEnabled(!m_dropDownOpen);
}

void OutputOptionsPage::btnOutputRenamingOptionTapped(bool edit)
{
    m_model.setEditMode(edit);
    refreshFromPanel();
    emit optionsChanged();
}

void OutputOptionsPage::btnEditingNameOptionTapped(OutputOptionsModel::Option option)
{
    // The click turns the box over; its new state decides.
    m_model.setOption(option, optionCheck(option)->state() == 0);
    refreshFromPanel();
    emit optionsChanged();
}

void OutputOptionsPage::btnEXIFLocationTypeTapped(OutputOptionsModel::LocationPart part)
{
    m_model.setLocationPart(part, locationTick(part)->state() == 0);
    refreshFromPanel();
    emit optionsChanged();
}

void OutputOptionsPage::refreshOutputRenamingOptionOnTapped()
{
    m_model.reset();
    refreshFromPanel();
    emit optionsChanged();
}

void OutputOptionsPage::disableEnableAllButtonsWhenDropdownOpen(bool open)
{
    m_dropDownOpen = open;
    refreshFromPanel();
}

void OutputOptionsPage::setPhotosTicked(bool ticked)
{
    m_model.photosTicked = ticked;
    refreshFromPanel();
}

void OutputOptionsPage::btnEXIFDateAsTapped(int tag)
{
    const std::optional<RenamingChoiceLists::ListType> list = RenamingChoiceLists::listForButtonTag(tag);
    if (!list)
        return;
    // The position button toggles its list.
    AttachedPopupTable& popup = m_context.attachedPopup();
    if (*list == RenamingChoiceLists::Position && popup.isOpen() && popup.currentType() == int(*list)) {
        popup.dismissPanel();
        return;
    }
    const auto dateList = std::find_if(
        m_dateLists.cbegin(), m_dateLists.cend(), [tag](const DateListControls& controls) { return controls.tag == tag; });
    if (dateList == m_dateLists.cend())
        return;
    QPushButton* anchor = dateList->button;
    const QLineEdit* shown = dateList->text;
    // The list is as wide as the field and its button together.
    const int width = RenamingChoiceLists::popupWidth(shown->width() + anchor->width());
    const QSize size(width, RenamingChoiceLists::popupHeight(*list));
    auto chosen = [this, type = int(*list)](int row) {
        m_model.chooseFromList(type, row);
        refreshFromPanel();
        emit optionsChanged();
    };
    AttachedPopupTable::ListOptions options;
    options.type = int(*list);
    options.size = size;
    popup.open(anchor, RenamingChoiceLists::rows(*list), chosen, options);
}

bool OutputOptionsPage::isListOpen() const
{
    const int open = m_context.attachedPopup().currentType();
    return open == RenamingChoiceLists::Position || open == RenamingChoiceLists::DateSource
        || open == RenamingChoiceLists::DateFormat;
}

void OutputOptionsPage::closeList()
{
    // A list of the page hands its choice to the page: it does not outlive it.
    if (isListOpen())
        m_context.attachedPopup().dismissPanel();
}

void OutputOptionsPage::btnBackToPropertiesTapped()
{
    const int alert = m_model.leavePageAlert();
    if (alert != 0) {
        emit alertRequested(alert, {}); // OK alone: the page stays
        return;
    }
    emit leaveRequested();
}

void OutputOptionsPage::btnSelectFolderTapped()
{
    emit chooseFolderRequested(OutputRenamingOptions::defaultOutputFolder());
}
