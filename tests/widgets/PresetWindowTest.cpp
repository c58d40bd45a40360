// The presets' wiring: the editor's Presets drop-down, the preset window with its
// list and second form, the archive written after each change, and a preset laid
// over the editor's form. The list's rules are tested in the presets core.
#include "presets/widgets/PresetWindow.h"

#include "WidgetTestSupport.h"
#include "app/AppDelegate.h"
#include "app/ExifEditorView.h"
#include "platform/UserDefaults.h"
#include "batch/list/AttachPopupType.h"
#include "controls/AttachedPopupTable.h"
#include "form/FormFixtures.h"
#include "form/widgets/DatePanelView.h"
#include "form/widgets/MetadataFormView.h"
#include "model/DateTimeConfiguration.h"
#include "model/MetaDataObject.h"
#include "model/ProjectSession.h"
#include "presets/PresetChoice.h"
#include "presets/PresetListModel.h"
#include "presets/widgets/PresetView.h"
#include "presets/widgets/PresetsPanel.h"

#include <QInputMethodEvent>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using F = MetadataField;

namespace {

template <typename T> T* child(QWidget& parent, const QString& name)
{
    T* widget = parent.findChild<T*>(name);
    if (!widget)
        qWarning("no %s", qPrintable(name));
    return widget;
}

std::shared_ptr<MetaDataObject> preset(const QString& name, std::initializer_list<std::pair<F, QString>> fields = {})
{
    auto record = std::make_shared<MetaDataObject>();
    record->name = name;
    for (const auto& [field, text] : fields) {
        record->setField(field, text);
        record->setUpdated(field, true);
    }
    return record;
}

// The presets the shell has archived.
QList<std::shared_ptr<MetaDataObject>> archivedPresets(AppDelegate& app)
{
    return ProjectSession::unarchive(app.defaults().dataForKey(UserDefaults::kPresetArchiveKey)).presets;
}

} // namespace

class PresetWindowTest : public QObject, public RecordedApplication {
    Q_OBJECT

    QTemporaryDir m_home;
    std::unique_ptr<QWidget> m_editor;
    std::unique_ptr<AttachedPopupTable> m_popup;
    std::unique_ptr<PresetsPanel> m_panel;
    // What the editor does with a chosen preset.
    std::function<void(const MetaDataObject&)> m_apply;
    QList<std::shared_ptr<MetaDataObject>> m_applied;

    // The drop-down's list, open, and the row with this text clicked.
    void chooseInDropDown(const QString& text)
    {
        QTest::mouseClick(m_panel->button(), Qt::LeftButton);
        QVERIFY(m_popup->isOpen());
        QCOMPARE(m_popup->currentType(), AttachPopupPresets);
        const QAbstractItemModel* rows = m_popup->table()->model();
        const QModelIndexList found = rows->match(rows->index(0, 0), Qt::DisplayRole, text, 1, Qt::MatchExactly);
        QVERIFY(!found.isEmpty());
        m_popup->choose(found.first().row());
    }

    PresetWindow* openWindow()
    {
        chooseInDropDown(PresetsPanel::kEditPresetsRow);
        PresetWindow* window = m_panel->presetWindow();
        if (window) [[maybe_unused]]
            bool exposed = QTest::qWaitForWindowExposed(window);
        return window;
    }

private slots:
    void initTestCase() { isolateUserFolders(m_home.path()); }

    void init()
    {
        clearUserDefaults();
        startApplication();
        m_app->arrayPresets = { preset(QStringLiteral("Urlaub 2026"), { { F::Artist, QStringLiteral("Ålesund") } }),
            preset(QStringLiteral("Студия"), { { F::Copyright, QStringLiteral("© 山田") } }) };
        m_editor = std::make_unique<QWidget>();
        m_editor->resize(900, 600);
        m_popup = std::make_unique<AttachedPopupTable>(m_editor.get());
        // The panel wired as the editor wires it: over the application's services,
        // its changes written to the archive, a chosen preset handed on.
        m_panel = std::make_unique<PresetsPanel>(*m_app, m_app->arrayPresets, m_editor.get(), *m_popup);
        connect(m_panel.get(), &PresetsPanel::presetsChanged, m_app.get(), &AppDelegate::presetsDidChange);
        connect(m_panel.get(), &PresetsPanel::presetChosen, this, [this](const MetaDataObject& chosen) { m_apply(chosen); });
        m_applied.clear();
        m_apply = [this](const MetaDataObject& chosen) {
            for (const auto& p : m_app->arrayPresets)
                if (p.get() == &chosen)
                    m_applied.append(p);
        };
        m_editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_editor.get()));
    }

    void cleanup()
    {
        m_panel.reset();
        m_popup.reset();
        m_editor.reset();
        m_app.reset();
    }

    void theDropDownListsThePresetsAndAppliesTheOneChosen()
    {
        QCOMPARE(m_panel->button()->objectName(), QStringLiteral("btnPresets"));
        QTest::mouseClick(m_panel->button(), Qt::LeftButton);
        const QAbstractItemModel* rows = m_popup->table()->model();
        QCOMPARE(rows->rowCount(), 3);
        QCOMPARE(rows->index(0, 0).data().toString(), QStringLiteral("Urlaub 2026"));
        QCOMPARE(rows->index(2, 0).data().toString(), PresetsPanel::kEditPresetsRow);
        m_popup->dismissPanel();

        chooseInDropDown(QStringLiteral("Студия"));
        QCOMPARE(m_applied.size(), 1);
        QCOMPARE(m_applied.first(), m_app->arrayPresets.at(1));
        QCOMPARE(m_panel->button()->text(), QStringLiteral("Студия"));
        QVERIFY(!m_panel->presetWindow());

        // Disabled with the editor.
        m_panel->setEnabled(false);
        QVERIFY(!m_panel->button()->isEnabled());
    }

    void theWindowOpensFromTheLastRowAndHoldsTheSubWindowFlagUntilItCloses()
    {
        QVERIFY(!m_app->editorContext().isSubWindowOpened());
        PresetWindow* window = openWindow();
        QVERIFY(window);
        QCOMPARE(window->objectName(), QStringLiteral("winPresets"));
        QVERIFY(window->isVisible());
        QVERIFY(m_app->editorContext().isSubWindowOpened());
        PresetView& view = window->presetView();
        QCOMPARE(view.objectName(), QStringLiteral("vwPresetRef"));
        // The first preset is open in the second form, which is bound to it.
        QCOMPARE(view.selectedPreset(), m_app->arrayPresets.first());
        QCOMPARE(view.form().editor().record(), m_app->arrayPresets.first().get());
        QCOMPARE(child<QLineEdit>(view.form(), "txtArtist")->text(), QStringLiteral("Ålesund"));

        // Closing the window by its own close clears the flag.
        window->close();
        QVERIFY(!m_app->editorContext().isSubWindowOpened());
        QTRY_VERIFY(!m_panel->presetWindow());

        // So does Escape on a new window.
        window = openWindow();
        QVERIFY(m_app->editorContext().isSubWindowOpened());
        QTest::keyClick(window, Qt::Key_Escape);
        QVERIFY(!m_app->editorContext().isSubWindowOpened());
    }

    void addingRenamingAndRemovingChangeTheListAndTheArchive()
    {
        PresetWindow* window = openWindow();
        PresetView& view = window->presetView();
        auto* list = child<QListView>(view, "tblPresets");

        QTest::mouseClick(child<QPushButton>(view, "btnAddPreset"), Qt::LeftButton);
        QCOMPARE(m_app->arrayPresets.size(), 3);
        QCOMPARE(m_app->arrayPresets.first()->name, QStringLiteral("New Configuration"));
        QCOMPARE(view.selectedPreset(), m_app->arrayPresets.first());
        QCOMPARE(list->currentIndex().row(), 0);
        QTRY_VERIFY(!m_app->isPresetsSavePending());
        QCOMPARE(archivedPresets(*m_app).size(), 3);

        // Renaming through the name field; a blank name is refused.
        auto* name = child<QLineEdit>(view, "txtPresetName");
        QCOMPARE(name->text(), QStringLiteral("New Configuration"));
        name->setFocus();
        name->selectAll();
        QInputMethodEvent typed; // text beyond ASCII comes through the input method
        typed.setCommitString(QStringLiteral("Hochzeit – Ωmega"));
        QApplication::sendEvent(name, &typed);
        QTest::keyClick(name, Qt::Key_Return);
        QCOMPARE(m_app->arrayPresets.first()->name, QStringLiteral("Hochzeit – Ωmega"));
        QCOMPARE(list->model()->index(0, 0).data().toString(), QStringLiteral("Hochzeit – Ωmega"));
        QTRY_VERIFY(!m_app->isPresetsSavePending());
        QCOMPARE(archivedPresets(*m_app).first()->name, QStringLiteral("Hochzeit – Ωmega"));
        // Return ended the name; it did not apply the preset or close the window.
        QVERIFY(window->isVisible());
        QVERIFY(m_applied.isEmpty());
        name->selectAll();
        QTest::keyClicks(name, QStringLiteral("   "));
        QTest::keyClick(name, Qt::Key_Return);
        QCOMPARE(m_app->arrayPresets.first()->name, QStringLiteral("Hochzeit – Ωmega"));
        QCOMPARE(name->text(), QStringLiteral("Hochzeit – Ωmega"));

        // Choosing another row opens that preset.
        list->setCurrentIndex(list->model()->index(2, 0));
        QCOMPARE(view.selectedPreset(), m_app->arrayPresets.at(2));
        QCOMPARE(child<QLineEdit>(view.form(), "txtCopyright")->text(), QStringLiteral("© 山田"));

        // Removing the open preset leaves no preset open.
        const auto removed = m_app->arrayPresets.at(2);
        QTest::mouseClick(child<QPushButton>(view, "btnRemovePreset"), Qt::LeftButton);
        QCOMPARE(m_app->arrayPresets.size(), 2);
        QVERIFY(!m_app->arrayPresets.contains(removed));
        QVERIFY(!view.selectedPreset());
        QVERIFY(!view.form().editor().record());
        QVERIFY(!view.form().isEnabled());
        QVERIFY(!child<QPushButton>(view, "btnRemovePreset")->isEnabled());
        QVERIFY(!child<QPushButton>(view, "btnApplyPreset")->isEnabled());
        QVERIFY(!list->currentIndex().isValid());
        QTRY_VERIFY(!m_app->isPresetsSavePending());
        QCOMPARE(archivedPresets(*m_app).size(), 2);
    }

    void removingThePresetTheDropDownShowsLeavesBothViewsWithoutIt()
    {
        chooseInDropDown(QStringLiteral("Urlaub 2026"));
        QCOMPARE(m_panel->button()->text(), QStringLiteral("Urlaub 2026"));
        PresetView& view = openWindow()->presetView();
        QCOMPARE(view.selectedPreset(), m_app->arrayPresets.first());

        QTest::mouseClick(child<QPushButton>(view, "btnRemovePreset"), Qt::LeftButton);
        QVERIFY(!m_panel->shownPreset().preset());
        QCOMPARE(m_panel->button()->text(), QStringLiteral("Presets"));
        QVERIFY(!view.selectedPreset());
        QTest::mouseClick(m_panel->button(), Qt::LeftButton);
        QCOMPARE(m_popup->table()->model()->rowCount(), 2);
        QCOMPARE(m_popup->table()->model()->index(0, 0).data().toString(), QStringLiteral("Студия"));
        m_popup->dismissPanel();
    }

    void editsInTheWindowGoIntoThePresetAndTheArchiveAtOnce()
    {
        PresetView& view = openWindow()->presetView();
        const auto open = m_app->arrayPresets.first();
        MetadataFormView& form = view.form();

        QTest::keyClicks(child<QLineEdit>(form, "txtCopyright"), QStringLiteral("CC-BY Aerzte"));
        QCOMPARE(open->Copyright(), QStringLiteral("CC-BY Aerzte"));
        QVERIFY(open->isupdated_Copyright());
        QTRY_VERIFY(!m_app->isPresetsSavePending());
        QCOMPARE(archivedPresets(*m_app).first()->Copyright(), QStringLiteral("CC-BY Aerzte"));

        // A field that no write puts into a photo takes no edit in the preset either.
        form.showTab(FormTab::Camera);
        QVERIFY(child<QLineEdit>(form, "txtLens_Lens")->isReadOnly());
        QTest::keyClicks(child<QLineEdit>(form, "txtLens_Lens"), QStringLiteral("35mm"));
        QVERIFY(!open->isupdated_Lens_Lens());
        QVERIFY(!child<QToolButton>(form, "btnDropDownDimResolution_ResolutionUnit")->isEnabled());
        form.showTab(FormTab::General);

        // A date setting from the date panel.
        const auto before = open->dateTimeConfig(DateSetting::OriginalDate);
        QTRY_VERIFY(child<QToolButton>(form, "btnDatePickerDate_Original")->isEnabled());
        QTest::mouseClick(child<QToolButton>(form, "btnDatePickerDate_Original"), Qt::LeftButton);
        QVERIFY(QTest::qWaitForWindowExposed(form.datePopup().attachedWindow()));
        auto* empty = child<QRadioButton>(form.datePanel(), "btnEmptyDate");
        QTest::mouseClick(empty, Qt::LeftButton, {}, QPoint(6, empty->height() / 2));
        const auto after = open->dateTimeConfig(DateSetting::OriginalDate);
        QVERIFY(after != before);
        QVERIFY(after->tagConfigureOption != before->tagConfigureOption);
        QVERIFY(m_app->isPresetsSavePending());
        QTRY_VERIFY(!m_app->isPresetsSavePending());
        const auto archived = archivedPresets(*m_app).first()->dateTimeConfig(DateSetting::OriginalDate);
        QCOMPARE(archived->tagConfigureOption, after->tagConfigureOption);
        // No other preset shares the new setting.
        QVERIFY(m_app->arrayPresets.at(1)->dateTimeConfig(DateSetting::OriginalDate) != after);

        // A position chosen on the map picker goes into the preset as typed ones do.
        form.changeLocationToTitle(QStringLiteral("Sydney"), -33.8688, 151.2093);
        QCOMPARE(open->GPS_LattitudeRef(), QStringLiteral("S"));
        QCOMPARE(open->GPS_Lattitude().toDouble(), 33.8688);
        QCOMPARE(open->GPS_LongitudeRef(), QStringLiteral("E"));
        QVERIFY(open->isupdated_GPS_Lattitude() && open->isupdated_GPS_Longitude());
        form.removeLocationcordinates();
        QVERIFY(open->GPS_Lattitude().isEmpty() && open->GPS_LattitudeRef().isEmpty());
    }

    void applyLaysThePresetOverTheEditorsFormAndLaterEditsLeaveItAlone()
    {
        // The editor's form, with a photo ticked and a field already edited.
        MetadataFormView editorForm;
        editorForm.resize(620, 720);
        editorForm.show();
        editorForm.setupUIForSelectedPhotoFiles({ photoWith(
            { { F::Artist, QStringLiteral("Photo artist") }, { F::ImageDescription, QStringLiteral("Fjord") } }) });
        QTRY_COMPARE(child<QLineEdit>(editorForm, "txtArtist")->text(), QStringLiteral("Photo artist"));
        QTest::keyClicks(child<QLineEdit>(editorForm, "txtImageDescription"), QStringLiteral(" at dusk"));
        m_apply = [&editorForm](const MetaDataObject& chosen) { editorForm.appendPreset(chosen); };

        PresetWindow* window = openWindow();
        const auto open = m_app->arrayPresets.first();
        QTest::mouseClick(child<QPushButton>(window->presetView(), "btnApplyPreset"), Qt::LeftButton);
        QTRY_VERIFY(!m_panel->presetWindow());
        QVERIFY(!m_app->editorContext().isSubWindowOpened());
        QCOMPARE(m_panel->shownPreset().preset(), open);

        // The preset's field wins, the edited one it does not hold stays.
        QCOMPARE(child<QLineEdit>(editorForm, "txtArtist")->text(), QStringLiteral("Ålesund"));
        QCOMPARE(child<QLineEdit>(editorForm, "txtImageDescription")->text(), QStringLiteral("Fjord at dusk"));
        QVERIFY(editorForm.isParamsChanged());

        // Editing the form afterwards, a field and a date setting, leaves the stored preset as it was.
        QTest::keyClicks(child<QLineEdit>(editorForm, "txtArtist"), QStringLiteral(" 2"));
        QCOMPARE(open->Artist(), QStringLiteral("Ålesund"));
        const auto presetDate = open->dateTimeConfig(DateSetting::OriginalDate);
        const std::optional<int> presetOption = presetDate->tagConfigureOption;
        QTRY_VERIFY(child<QToolButton>(editorForm, "btnDatePickerDate_Original")->isEnabled());
        QTest::mouseClick(child<QToolButton>(editorForm, "btnDatePickerDate_Original"), Qt::LeftButton);
        QVERIFY(QTest::qWaitForWindowExposed(editorForm.datePopup().attachedWindow()));
        auto* empty = child<QRadioButton>(editorForm.datePanel(), "btnEmptyDate");
        QTest::mouseClick(empty, Qt::LeftButton, {}, QPoint(6, empty->height() / 2));
        QCOMPARE(open->dateTimeConfig(DateSetting::OriginalDate), presetDate);
        QCOMPARE(presetDate->tagConfigureOption, presetOption);
        // Nor was the list counted as changed: nothing is to be archived.
        QVERIFY(!m_app->isPresetsSavePending());
        QVERIFY(archivedPresets(*m_app).isEmpty());
    }

    void theEditorsDropDownSitsInTheBottomBarAndFillsTheEditorsForm()
    {
        ExifEditorView editor(*m_app);
        editor.resize(1050, 700);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        auto* button = editor.findChild<QPushButton*>(QStringLiteral("btnPresets"));
        QVERIFY(button);
        QVERIFY(editor.bottomBar()->isAncestorOf(button));
        QCOMPARE(button, editor.presetsPanel()->button());

        MetadataFormView* form = editor.metadataFormView();
        QVERIFY(form);
        editor.setupUIForSelectedPhotoFiles({ photoWith({ { F::Artist, QStringLiteral("Photo artist") } }) });
        QTRY_COMPARE(child<QLineEdit>(*form, "txtArtist")->text(), QStringLiteral("Photo artist"));
        editor.presetsPanel()->changeViewAccordingToPresetSelected(0);
        QCOMPARE(child<QLineEdit>(*form, "txtArtist")->text(), QStringLiteral("Ålesund"));
        QVERIFY(form->isParamsChanged());
        // The editor's form holds copies: the preset keeps its own date settings.
        QVERIFY(form->state().metaDataObject()->dateTimeConfig(DateSetting::OriginalDate)
            != m_app->arrayPresets.first()->dateTimeConfig(DateSetting::OriginalDate));

        // The last row opens the preset window over the editor.
        editor.presetsPanel()->changeViewAccordingToPresetSelected(m_app->arrayPresets.size());
        QVERIFY(editor.presetsPanel()->presetWindow());
        QCOMPARE(editor.presetsPanel()->presetWindow()->parentWidget(), &editor);
        // The preset's GPS tab opens the map picker as the editor's does.
        auto* showMap = editor.presetsPanel()->presetWindow()->presetView().form().findChild<QPushButton*>(
            QStringLiteral("btnShowMap"));
        QVERIFY(showMap && !showMap->isHidden());
        editor.presetsPanel()->presetWindow()->close();
        QVERIFY(!m_app->editorContext().isSubWindowOpened());
    }
};

QTEST_MAIN(PresetWindowTest)
#include "PresetWindowTest.moc"
