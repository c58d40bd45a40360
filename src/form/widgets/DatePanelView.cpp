#include "form/widgets/DatePanelView.h"

#include "base/DatePattern.h"
#include "controls/AttachedPopupTable.h"
#include "controls/OnlyIntegerValueFormatter.h"
#include "form/FieldTyping.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimeEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

struct OptionButton {
    int option;
    const char* objectName;
    const char* title;
};

constexpr std::array<OptionButton, 6> kOptionButtons = { {
    { DateTimeConfiguration::KeepOriginal, "btnKeepOriginal", "Keep original date" },
    { DateTimeConfiguration::EmptyValue, "btnEmptyDate", "Empty date" },
    { DateTimeConfiguration::ChosenDate, "btnSelectDate", "Set date and time" },
    { DateTimeConfiguration::UpdateDayMonthYearTime, "btnUpdateDate", "Set day, month, year or time" },
    { DateTimeConfiguration::IncDecDate, "btnIncDecDate", "Shift the date" },
    { DateTimeConfiguration::IncDecTime, "btnIncDecTime", "Shift the time" },
} };

constexpr std::array<const char*, kIncDecPartCount> kIncDecKeepNames = { "checkDayIncDec", "checkMonthIncDec",
    "checkYearIncDec", "checkHourIncDec", "checkMinuteIncDec", "checkSecondIncDec" };
constexpr std::array<const char*, kIncDecPartCount> kIncDecTitles
    = { "Days", "Months", "Years", "Hours", "Minutes", "Seconds" };

// The year the update field takes at most.
constexpr int kUpdateYearMaximum = 2050;

QLineEdit* numberField(const QString& name, int maximum, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    auto* formatter = new OnlyIntegerValueFormatter(field);
    formatter->setMaximumValue(maximum);
    field->setValidator(formatter);
    field->setFixedWidth(56);
    field->setAlignment(Qt::AlignRight);
    return field;
}

QCheckBox* keepBox(const QString& name, QWidget* parent)
{
    auto* box = new QCheckBox(QStringLiteral("Keep original"), parent);
    box->setObjectName(name);
    return box;
}

} // namespace

DatePanelView::DatePanelView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("vwDatePicker"));
    buildControls();
    resetDateTimeConfigView();
}

void DatePanelView::buildControls()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(6);
    m_options = new QButtonGroup(this);
    for (std::size_t i = 0; i < kOptionButtons.size(); ++i) {
        auto* button = new QRadioButton(QString::fromLatin1(kOptionButtons[i].title), this);
        button->setObjectName(QString::fromLatin1(kOptionButtons[i].objectName));
        m_options->addButton(button, kOptionButtons[i].option);
        layout->addWidget(button);
        auto* section = new QWidget(this);
        auto* grid = new QGridLayout(section);
        grid->setContentsMargins(24, 0, 0, 4);
        grid->setHorizontalSpacing(6);
        grid->setVerticalSpacing(4);
        m_sections[i] = section;
        switch (kOptionButtons[i].option) {
        case DateTimeConfiguration::ChosenDate:
            buildChosenDateSection(grid, section);
            break;
        case DateTimeConfiguration::UpdateDayMonthYearTime:
            buildUpdateSection(grid, section);
            break;
        case DateTimeConfiguration::IncDecDate:
            buildIncDecSection(grid, section, 0);
            break;
        case DateTimeConfiguration::IncDecTime:
            buildIncDecSection(grid, section, 3);
            break;
        default:
            break;
        }
        if (grid->isEmpty()) {
            delete section;
            m_sections[i] = nullptr;
        } else {
            layout->addWidget(section);
        }
    }
    connect(m_options, &QButtonGroup::idClicked, this, [this](int option) {
        m_model.option = option;
        enableSections();
        userChanged();
    });
}

// The date and time every photo takes.
void DatePanelView::buildChosenDateSection(QGridLayout* grid, QWidget* section)
{
    m_datePicker = new QDateTimeEdit(section);
    m_datePicker->setObjectName(QStringLiteral("datePicker"));
    // The picker edits a wall-clock time: no zone may move it.
    m_datePicker->setTimeSpec(Qt::UTC);
    m_datePicker->setDisplayFormat(QStringLiteral("yyyy-MM-dd  HH:mm:ss"));
    m_datePicker->setCalendarPopup(true);
    m_datePicker->setMinimumDate(QDate(DatePanelModel::kFirstYear, 1, 1));
    grid->addWidget(m_datePicker, 0, 0);
    grid->setColumnStretch(1, 1);
    connect(m_datePicker, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime& value) {
        m_model.chosenDate = WallClock::make(value.date(), value.time());
        userChanged();
    });
}

// The day, month, year and time that replace the photos' own, each of which may be kept.
void DatePanelView::buildUpdateSection(QGridLayout* grid, QWidget* section)
{
    struct UpdateRow {
        const char* title;
        const char* field;
        const char* listButton;
        const char* keep;
        int maximum;
        QStringList rows;
        QLineEdit** target;
        QCheckBox** keepTarget;
        QString DatePanelModel::*value;
        bool DatePanelModel::*keepValue;
    };
    const std::array<UpdateRow, 3> rows = { {
        { "Day", "txtUpdateDay", "btnSelectDayUpdate", "checkDayUpdate", 31, DatePanelModel::daysList(), &m_updateDay,
            &m_keepDay, &DatePanelModel::updateDay, &DatePanelModel::keepDay },
        { "Month", "txtUpdateMonth", "btnSelectMonthUpdate", "checkMonthUpdate", 12, DatePanelModel::monthsList(),
            &m_updateMonth, &m_keepMonth, &DatePanelModel::updateMonth, &DatePanelModel::keepMonth },
        { "Year", "txtUpdateYear", "btnSelectYearUpdate", "checkYearUpdate", kUpdateYearMaximum,
            DatePanelModel::yearsList(), &m_updateYear, &m_keepYear, &DatePanelModel::updateYear,
            &DatePanelModel::keepYear },
    } };
    int row = 0;
    for (const UpdateRow& r : rows) {
        grid->addWidget(new QLabel(QString::fromLatin1(r.title), section), row, 0);
        QLineEdit* field = numberField(QString::fromLatin1(r.field), r.maximum, section);
        *r.target = field;
        auto* list = new QToolButton(section);
        list->setObjectName(QString::fromLatin1(r.listButton));
        list->setArrowType(Qt::DownArrow);
        QCheckBox* keep = keepBox(QString::fromLatin1(r.keep), section);
        *r.keepTarget = keep;
        grid->addWidget(field, row, 1);
        grid->addWidget(list, row, 2);
        grid->addWidget(keep, row, 3);
        const auto value = r.value;
        const auto keepValue = r.keepValue;
        connect(field, &QLineEdit::textEdited, this, [this, value](const QString& text) {
            m_model.*value = text;
            userChanged();
        });
        connect(keep, &QCheckBox::clicked, this, [this, keepValue](bool on) {
            m_model.*keepValue = on;
            userChanged();
        });
        const QStringList choices = r.rows;
        connect(list, &QToolButton::clicked, this, [this, list, field, choices] { showList(list, field, choices); });
        ++row;
    }
    grid->addWidget(new QLabel(QStringLiteral("Time"), section), row, 0);
    m_updateTimePicker = new QTimeEdit(section);
    m_updateTimePicker->setObjectName(QStringLiteral("updateTimePicker"));
    m_updateTimePicker->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    grid->addWidget(m_updateTimePicker, row, 1, 1, 2);
    m_keepTime = keepBox(QStringLiteral("checkTimeUpdate"), section);
    grid->addWidget(m_keepTime, row, 3);
    grid->setColumnStretch(4, 1);
    connect(m_updateTimePicker, &QTimeEdit::timeChanged, this, [this](QTime time) {
        m_model.updateTime = time;
        userChanged();
    });
    connect(m_keepTime, &QCheckBox::clicked, this, [this](bool on) {
        m_model.keepTime = on;
        userChanged();
    });
    m_dateError = new QLabel(section);
    m_dateError->setObjectName(QStringLiteral("lblUpdateDateError"));
    m_dateError->setStyleSheet(QStringLiteral("color: #c62828;"));
    m_dateError->hide();
    grid->addWidget(m_dateError, row + 1, 0, 1, 5);
}

// Three parts to add or take away, from `first` on: the date's (0) or the time's (3).
void DatePanelView::buildIncDecSection(QGridLayout* grid, QWidget* section, int first)
{
    for (int part = first; part < first + 3; ++part) {
        const auto incDecPart = static_cast<IncDecPart>(part);
        const IncDecRange range = DatePanelModel::incDecRange(incDecPart);
        const int row = part - first;
        grid->addWidget(new QLabel(QString::fromLatin1(kIncDecTitles[part]), section), row, 0);
        auto* field = new QLineEdit(section);
        field->setObjectName(DatePanelModel::incDecFieldName(incDecPart));
        field->setFixedWidth(72);
        field->setAlignment(Qt::AlignRight);
        auto* stepper = new QSpinBox(section);
        stepper->setObjectName(DatePanelModel::incDecStepperName(incDecPart));
        stepper->setRange(range.minimum, range.maximum);
        stepper->setFixedWidth(22);
        stepper->setStyleSheet(QStringLiteral("QSpinBox { color: transparent; }"));
        QCheckBox* keep = keepBox(QString::fromLatin1(kIncDecKeepNames[part]), section);
        m_incDecFields[part] = field;
        m_steppers[part] = stepper;
        m_incDecKeeps[part] = keep;
        grid->addWidget(field, row, 1);
        grid->addWidget(stepper, row, 2);
        grid->addWidget(keep, row, 3);
        connect(field, &QLineEdit::textEdited, this,
            [this, part](const QString& text) { incDecEdited(part, text, false); });
        connect(
            field, &QLineEdit::editingFinished, this, [this, part, field] { incDecEdited(part, field->text(), true); });
        connect(stepper, &QSpinBox::valueChanged, this, [this, part](int value) {
            if (m_loading)
                return;
            m_incDecFields[part]->setText(QString::number(value));
            m_model.incDec[part] = QString::number(value);
            userChanged();
        });
        connect(keep, &QCheckBox::clicked, this, [this, part](bool on) {
            m_model.keepIncDec[part] = on;
            userChanged();
        });
    }
    grid->setColumnStretch(4, 1);
}

void DatePanelView::showList(QAbstractButton* anchor, QLineEdit* field, const QStringList& rows)
{
    if (!m_listPopup)
        return;
    const auto chosen = [field, rows](int row) {
        field->setText(rows.value(row));
        emit field->textEdited(field->text());
    };
    AttachedPopupTable::ListOptions options;
    options.currentRow = static_cast<int>(rows.indexOf(field->text()));
    m_listPopup->open(anchor, rows, chosen, options);
}

void DatePanelView::incDecEdited(int part, const QString& text, bool endEditing)
{
    const IncDecRange range = DatePanelModel::incDecRange(static_cast<IncDecPart>(part));
    const IncDecText result = endEditing ? FieldTyping::incDecTextOnEndEditing(text, range.minimum, range.maximum)
                                         : FieldTyping::incDecText(text, range.minimum, range.maximum);
    QLineEdit* field = m_incDecFields[part];
    if (field->text() != result.text)
        field->setText(result.text);
    if (result.isLoneMinus)
        return; // a negative number is being typed
    {
        const QSignalBlocker blocker(m_steppers[part]);
        m_steppers[part]->setValue(result.value);
    }
    if (m_model.incDec[part] == result.text && endEditing)
        return;
    m_model.incDec[part] = result.text;
    userChanged();
}

void DatePanelView::loadFrom(const DateTimeConfiguration& config)
{
    m_model.loadFrom(config);
    showModel();
}

void DatePanelView::resetDateTimeConfigView()
{
    m_model.reset();
    showModel();
}

void DatePanelView::showModel()
{
    m_loading = true;
    const QList<QWidget*> controls = findChildren<QWidget*>();
    for (QWidget* control : controls)
        control->blockSignals(true);
    if (QAbstractButton* button = m_options->button(m_model.option))
        button->setChecked(true);
    m_datePicker->setDateTime(QDateTime(m_model.chosenDate.date(), m_model.chosenDate.time(), Qt::UTC));
    m_updateDay->setText(m_model.updateDay);
    m_updateMonth->setText(m_model.updateMonth);
    m_updateYear->setText(m_model.updateYear);
    m_updateTimePicker->setTime(m_model.updateTime);
    m_keepDay->setChecked(m_model.keepDay);
    m_keepMonth->setChecked(m_model.keepMonth);
    m_keepYear->setChecked(m_model.keepYear);
    m_keepTime->setChecked(m_model.keepTime);
    for (int part = 0; part < kIncDecPartCount; ++part) {
        m_incDecFields[part]->setText(m_model.incDec[part]);
        m_steppers[part]->setValue(m_model.incDec[part].toInt());
        m_incDecKeeps[part]->setChecked(m_model.keepIncDec[part]);
    }
    for (QWidget* control : controls)
        control->blockSignals(false);
    m_loading = false;
    enableSections();
    showUpdateDateErrorForNonExistingDate();
}

void DatePanelView::enableSections()
{
    for (std::size_t i = 0; i < kOptionButtons.size(); ++i) {
        if (m_sections[i])
            m_sections[i]->setEnabled(kOptionButtons[i].option == m_model.option);
    }
}

void DatePanelView::showUpdateDateErrorForNonExistingDate()
{
    DateTimeConfiguration config;
    m_model.writeTo(config);
    const QString error = DatePanelModel::nonExistingDateError(config);
    m_dateError->setText(error);
    m_dateError->setVisible(!error.isEmpty());
}

void DatePanelView::userChanged()
{
    if (m_loading)
        return;
    showUpdateDateErrorForNonExistingDate();
    emit changed();
}
