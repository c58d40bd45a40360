#pragma once

#include "form/widgets/MetadataFormView.h"

class AppDelegate;

// How a form of the application opens its map picker: the user is asked once about
// online maps and place names (OnlineConsentPrompt), then the picker opens over the
// form's window with tiles and place names from the path the answer and the network
// allow (OnlineAccess); a chosen or removed position goes back to the form that
// opened it.
namespace MapPickerOpening {

MetadataFormView::MapPickerOpener opener(AppDelegate& app);

} // namespace MapPickerOpening
