#include "app/ExifEditorView.h"

// The presets in the editor view: wirePresets() builds the Presets drop-down and
// the preset window and connects them; the forwarding methods below reach them.
// Until they exist they do nothing.

void ExifEditorView::wirePresets() { }

void ExifEditorView::presetsInitSetup() { }

void ExifEditorView::setPresetsEnabled(bool) { }
