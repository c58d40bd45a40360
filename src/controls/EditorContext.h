#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <memory>

class AttachedPopupTable;
class PhotoFile;

// The editor's shared state, watched by every panel: the batch list, the ticked
// photos, whether the editor is veiled or busy with a run, whether a sheet of ours
// is up, whether the renaming page is shown and renaming is in force, whether the
// form holds edits, the loading overlay and whether photos may be dropped on the
// editor. A panel writes
// the facts it knows and derives its own buttons from the rest through the change
// signals, so no panel tells another what to enable.
//
// It also holds the editor's one attached list: any panel opens its menus and lists
// in it, so only one is open at a time.
class EditorContext : public QObject {
    Q_OBJECT
public:
    using PhotoList = QList<std::shared_ptr<PhotoFile>>;

    explicit EditorContext(QObject* parent = nullptr);
    ~EditorContext() override;

    // The batch list. The photo list's model changes it in place and reports each
    // change with batchListDidChange().
    const PhotoList& batchList() const { return m_batchList; }
    PhotoList& batchList() { return m_batchList; }
    void batchListDidChange();

    // The photos whose check mark is set, as the photo list tells after each change
    // of the ticks and each refresh of the list (an adding in progress is told at
    // its end).
    const PhotoList& checkedPhotos() const { return m_checkedPhotos; }
    int checkedCount() const { return int(m_checkedPhotos.size()); }
    void setCheckedPhotos(const PhotoList& photos);

    // The editor's controls are blocked (no photos yet, an alert or a prompt is up).
    bool isVeiled() const { return m_veiled; }
    void setVeiled(bool veiled);

    // The batch is asking for a run, or a run or restore is writing photos.
    bool isBusy() const { return m_busy; }
    void setBusy(bool busy);

    // A sheet, an alert or an open panel of ours, or the loading overlay, is up:
    // another alert is turned away meanwhile. BusyPresenter and BusyScope hold it
    // for as long as what they show is up.
    bool isSubWindowOpened() const { return m_subWindowOpened; }
    void setSubWindowOpened(bool opened);

    // The renaming page stands in the form's place.
    bool isRenamingPageShown() const { return m_renamingPageShown; }
    void setRenamingPageShown(bool shown);

    // The output files will be renamed.
    bool isRenamingInForce() const { return m_renamingInForce; }
    void setRenamingInForce(bool inForce);

    // The form holds edits not yet run or reset.
    bool isFormEdited() const { return m_formEdited; }
    void setFormEdited(bool edited);

    // The loading overlay over the whole editor, with its text (an adding, a
    // removal, the fill of a big selection), and whether its stop button ends the
    // work it covers.
    bool isLoading() const { return m_loading; }
    const QString& loadingText() const { return m_loadingText; }
    void setLoading(bool shown, const QString& text);
    bool isLoadingStoppable() const { return m_loadingStoppable; }
    void setLoadingStoppable(bool stoppable);

    // The editor's drop boxes take file drops.
    bool acceptsDrops() const { return m_acceptsDrops; }
    void setAcceptsDrops(bool accepts);

    // The editor's one attached list.
    AttachedPopupTable& attachedPopup() const { return *m_popup; }

signals:
    void batchListChanged();
    void checkedPhotosChanged();
    void veiledChanged(bool veiled);
    void busyChanged(bool busy);
    void subWindowOpenedChanged(bool opened);
    void renamingPageShownChanged(bool shown);
    void renamingInForceChanged(bool inForce);
    void formEditedChanged(bool edited);
    // The overlay was shown or hidden, or its text changed.
    void loadingChanged(bool shown);
    void loadingStoppableChanged(bool stoppable);
    void acceptsDropsChanged(bool accepts);

private:
    PhotoList m_batchList;
    PhotoList m_checkedPhotos;
    bool m_veiled = false;
    bool m_busy = false;
    bool m_subWindowOpened = false;
    bool m_renamingPageShown = false;
    bool m_renamingInForce = false;
    bool m_formEdited = false;
    bool m_loading = false;
    QString m_loadingText;
    bool m_loadingStoppable = false;
    bool m_acceptsDrops = true;
    AttachedPopupTable* m_popup = nullptr;
};
