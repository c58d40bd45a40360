#pragma once

#include "form/DatePanelModel.h"

#include <QWidget>
#include <array>

class AttachedPopupTable;
class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QDateTimeEdit;
class QGridLayout;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTimeEdit;

// The date panel ("vwDatePicker"): the controls that say how one of the six dates
// changes (keep, empty, a chosen date, set day, month, year and time with
// keep-original boxes, shift the date, shift the time). It holds its state in a
// DatePanelModel; every change the user makes emits changed(), on which the form
// rebuilds the date setting and writes its summary into the date field. The
// pickers show wall-clock dates, as the date engine reads them.
class DatePanelView : public QWidget {
    Q_OBJECT
public:
    explicit DatePanelView(QWidget* parent = nullptr);

    // setupControllsOnDatePickerView: the controls as the setting says.
    void loadFrom(const DateTimeConfiguration& config);
    // resetDateTimeConfigView: the panel's defaults (today as the chosen date).
    void resetDateTimeConfigView();
    const DatePanelModel& model() const { return m_model; }

    // The pop-up that shows the day, month and year lists.
    void setListPopup(AttachedPopupTable* popup) { m_listPopup = popup; }

signals:
    void changed();

private:
    void buildControls();
    void buildChosenDateSection(QGridLayout* grid, QWidget* section);
    void buildUpdateSection(QGridLayout* grid, QWidget* section);
    void buildIncDecSection(QGridLayout* grid, QWidget* section, int first);
    void showModel();
    void enableSections();
    void userChanged();
    void incDecEdited(int part, const QString& text, bool endEditing);
    void showUpdateDateErrorForNonExistingDate();
    void showList(QAbstractButton* anchor, QLineEdit* field, const QStringList& rows);

    DatePanelModel m_model;
    AttachedPopupTable* m_listPopup = nullptr;
    bool m_loading = false;

    QButtonGroup* m_options = nullptr;
    QDateTimeEdit* m_datePicker = nullptr;
    QTimeEdit* m_updateTimePicker = nullptr;
    QLineEdit* m_updateDay = nullptr;
    QLineEdit* m_updateMonth = nullptr;
    QLineEdit* m_updateYear = nullptr;
    QCheckBox* m_keepDay = nullptr;
    QCheckBox* m_keepMonth = nullptr;
    QCheckBox* m_keepYear = nullptr;
    QCheckBox* m_keepTime = nullptr;
    std::array<QLineEdit*, kIncDecPartCount> m_incDecFields {};
    std::array<QSpinBox*, kIncDecPartCount> m_steppers {};
    std::array<QCheckBox*, kIncDecPartCount> m_incDecKeeps {};
    std::array<QWidget*, 6> m_sections {};
    QLabel* m_dateError = nullptr;
};
