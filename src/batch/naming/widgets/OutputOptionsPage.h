#pragma once

#include "batch/alerts/AlertCatalog.h"
#include "batch/naming/OutputOptionsModel.h"
#include "batch/naming/OutputRenamingOptions.h"

#include <QList>
#include <QPointer>
#include <QSize>
#include <QStringList>
#include <QWidget>
#include <functional>

class AttachedPopupTable;
class EditorContext;
class IMGButton;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

// The renaming page ("vwExtentionView") that takes the form's place beside the
// photo list: keep each photo's name or build new ones from a custom name, a
// prefix and suffix, a date of the photo, its place names and its pixel size.
//
// Every rule lives in OutputOptionsModel; this page shows the model's state and
// forwards each click to it, then draws the state again (refreshFromPanel).
class OutputOptionsPage : public QWidget {
    Q_OBJECT
public:
    // The date lists (25, 26, 27) open in the editor's one attached list, the
    // context's, so that only one attached list is open at a time.
    explicit OutputOptionsPage(EditorContext& context, QWidget* parent = nullptr);
    ~OutputOptionsPage() override;

    OutputOptionsModel& model() { return m_model; }
    const OutputOptionsModel& model() const { return m_model; }

    // Whether one of the page's date lists is open.
    bool isListOpen() const;
    // Closes the page's date list, if one is open.
    void closeList();

    // The record the batch start and the path builder read, built afresh.
    OutputRenamingOptions getOutputFileRenamingSetting() const { return m_model.getOutputFileRenamingSetting(); }
    // Back to keeping each photo's name, every option off.
    void refreshOutputRenamingOptionOnTapped();
    // A drop-down of the editor opened (true) or closed (false): the page's
    // controls follow the model's enabling rules for that.
    void disableEnableAllButtonsWhenDropdownOpen(bool open);
    // The ticked photos changed: Rename files takes clicks only while some are ticked.
    void setPhotosTicked(bool ticked);
    // The page's set-up, as when the editor is set up: keep mode, default folder.
    void initSetup();
    // The output folder as shown on the page (txtPathImg), its case kept.
    void setOutputFolderText(const QString& folder);

    // ---- Clicks, as the controls send them ----
    void btnOutputRenamingOptionTapped(bool edit);
    void btnEditingNameOptionTapped(OutputOptionsModel::Option option);
    void btnEXIFLocationTypeTapped(OutputOptionsModel::LocationPart part);
    // The date list buttons, told apart by their tag (602, 603, 604).
    void btnEXIFDateAsTapped(int tag);
    void btnBackToPropertiesTapped();
    void btnSelectFolderTapped();

signals:
    // Back was pressed and the page may close; warnings 114 and 115 come as
    // alertRequested, with what the page does with the answer.
    void leaveRequested();
    void alertRequested(int tag, AlertAnswer answered);
    // The page's folder chooser wants a folder (starting in `start`).
    void chooseFolderRequested(const QString& start);
    // The renaming state changed (the notice and the Next image may follow).
    void optionsChanged();

private:
    void buildControls();
    QHBoxLayout* buildModeRow(QWidget* content);
    QWidget* buildOptionRows(QWidget* content);
    QHBoxLayout* buildDateLists(QWidget* box);
    QVBoxLayout* buildLocationParts(QWidget* box, int lineHeight);
    void connectOptionControls();
    void refreshFromPanel();
    IMGButton* optionCheck(OutputOptionsModel::Option option) const;
    IMGButton* locationTick(OutputOptionsModel::LocationPart part) const;

    EditorContext& m_context;
    OutputOptionsModel m_model;
    bool m_dropDownOpen = false;

    IMGButton* m_btnKeepOriginalFileName = nullptr;
    IMGButton* m_btnEditOriginalName = nullptr;
    QPushButton* m_btnRefresh = nullptr;
    QWidget* m_vwCustomEditOriginalName = nullptr;
    IMGButton* m_btnAddEXIFReplaceFilename = nullptr;
    IMGButton* m_btnAddEXIFString = nullptr;
    IMGButton* m_btnAddEXIFDateTime = nullptr;
    IMGButton* m_btnAddEXIFLocation = nullptr;
    IMGButton* m_btnAddEXIFAppendWidthHeight = nullptr;
    QLineEdit* m_txtEXIFCustomNameShow = nullptr;
    QLineEdit* m_txtAddPrefixString = nullptr;
    QLineEdit* m_txtAddSuffixString = nullptr;
    QPushButton* m_btnAddEXIFDateTimeAsOption = nullptr;
    QPushButton* m_btnAddEXIFDateTimeTypeOption = nullptr;
    QPushButton* m_btnAddEXIFDateTimeFormatOption = nullptr;
    QLineEdit* m_txtEXIFas = nullptr;
    QLineEdit* m_txtEXIFtype = nullptr;
    QLineEdit* m_txtEXIFformat = nullptr;
    // The three date lists' controls, by the tag their button carries.
    struct DateListControls {
        int tag;
        QLineEdit* text;
        QPushButton* button;
    };
    QList<DateListControls> m_dateLists;
    IMGButton* m_btnPlaceGet = nullptr;
    IMGButton* m_btnCityGet = nullptr;
    IMGButton* m_btnStateProvinceGet = nullptr;
    IMGButton* m_btnCountryGet = nullptr;
    QLineEdit* m_txtEXIFLocationShow = nullptr;
    QLineEdit* m_txtEXIFWidthHeightShow = nullptr;
    QLineEdit* m_txtPathImg = nullptr;
    QPushButton* m_btnSelectFolder = nullptr;
    QPushButton* m_btnBackToProperties = nullptr;
};
