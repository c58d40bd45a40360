#!/usr/bin/env bash
# Runs scripts/check-includes on small made-up trees: each include that breaks a floor
# must fail the check, and what the floors allow must pass.
#
#   tests/scripts/check-includes-test.sh PATH_TO_CHECK_INCLUDES
set -uo pipefail
check=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# tree FILE INCLUDE_LINE: a tree of one file under src/ holding one include
tree() {
  rm -rf "$work/src"
  mkdir -p "$work/src/$(dirname "$1")"
  printf '#pragma once\n%s\n' "$2" >"$work/src/$1"
}

expect() {
  local want=$1 file=$2 line=$3 output status
  tree "$file" "$line"
  output=$("$check" "$work" 2>&1)
  status=$?
  if { [ "$want" = pass ] && [ $status -ne 0 ]; } || { [ "$want" = fail ] && [ $status -ne 1 ]; }; then
    echo "expected the check to $want on src/$file with: $line (exit $status)"
    echo "$output"
    failures=$((failures + 1))
  fi
}

# Upward includes fail, at every floor.
expect fail model/Record.h '#include "services/ExifWriter.h"'
expect fail model/Record.h '#include "platform/ImageProperties.h"'
expect fail base/Numbers.h '#include "model/MetadataFields.h"'
expect fail platform/ImageDecoder.cpp '#include "services/Utils.h"'
expect fail services/Utils.cpp '#include "batch/OutputPathBuilder.h"'
expect fail batch/Runner.cpp '#include "app/AppDelegate.h"'
expect fail batch/Runner.cpp '#include "batch/widgets/PhotoTable.h"'
expect fail form/Merge.cpp '#include "controls/Presenter.h"'
# The three feature folders stand side by side.
expect fail batch/Runner.cpp '#include "form/FormFieldTable.h"'
expect fail presets/PresetList.cpp '#include "batch/BatchRunner.h"'
expect fail viewer/MapOutlines.cpp '#include "batch/run/BatchRunner.h"'
# A feature's sub-folders are of its floor, their widgets of the interface.
expect fail batch/run/Runner.cpp '#include "batch/list/widgets/PhotoTable.h"'
expect fail batch/naming/Names.cpp '#include "form/FormFieldTable.h"'
expect fail services/Utils.cpp '#include "batch/naming/OutputPathBuilder.h"'
# Widgets and the controls kit never reach up into the application shell.
expect fail batch/list/widgets/PhotoListPanel.cpp '#include "app/ExifEditorView.h"'
expect fail presets/widgets/PresetsPanel.cpp '#include "app/AppDelegate.h"'
expect fail controls/Presenter.cpp '#include "app/AppDelegate.h"'
# Widgets stay out of the core, however they are named.
expect fail batch/PhotoListModel.h '#include <QWidget>'
expect fail platform/Decoder.cpp '#include <QtWidgets/QApplication>'
expect fail model/Record.cpp '#include <QtWidgets>'
# A folder nobody placed on a floor.
expect fail misc/Thing.h '#include <QString>'
expect fail batch/Runner.cpp '#include "misc/Thing.h"'

# What the floors allow.
expect pass services/ExifWriter.cpp '#include "platform/Exiv2Adapter.h"'
expect pass batch/Runner.cpp '#include "base/Logging.h"'
expect pass batch/Runner.cpp '#include "batch/BatchSnapshot.h"'
expect pass batch/Runner.cpp '#include <QAbstractListModel>'
expect pass batch/Runner.cpp '#include <QAction>'
expect pass model/Record.cpp '#include "Record.h"'
expect pass app/MainWindow.cpp '#include <QMainWindow>'
expect pass app/MainWindow.cpp '#include "batch/widgets/PhotoTable.h"'
expect pass app/MainWindow.cpp '#include "controls/Presenter.h"'
expect pass batch/widgets/PhotoTable.cpp '#include "batch/PhotoListModel.h"'
expect pass form/widgets/Editor.cpp '#include "controls/Presenter.h"'
expect pass batch/run/Runner.cpp '#include "batch/naming/OutputPathBuilder.h"'
expect pass batch/run/widgets/Bar.cpp '#include "batch/list/widgets/PhotoTable.h"'
expect pass viewer/widgets/Map.cpp '#include "viewer/MapOutlines.h"'

[ $failures -eq 0 ] && echo "check-includes: every case as expected"
exit $((failures > 0))
