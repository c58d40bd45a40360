#pragma once

// What the editor's one attached drop-down list shows. Values 0 to 14 are the
// form fields' drop-down tables (their tags); the form's own lists use values
// not named here.
enum AttachPopupType : int {
    AttachPopupNone = -1,
    AttachPopupAddPhotos = 17,
    AttachPopupPhotoMenu = 18,
    AttachPopupMetadataMoreOptions = 19,
    AttachPopupPresets = 20,
    AttachPopupRenamePosition = 25,
    AttachPopupRenameDateSource = 26,
    AttachPopupRenameDateFormat = 27,
};
