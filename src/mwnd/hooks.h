// Where the parts of the desktop program plug into the main window: the
// preset editor, the option dialogs, the configuration wizard and the
// screen flashing. The parts that exist are installed by default (tests
// replace them); a command whose hook is not installed is disabled.
//
// Main thread only.
#pragma once
#include "cnfwiz/ConfigWizard.h"
#include "dialog/AdvancedDialog.h"
#include "dialog/VisualColorDialog.h"
#include "main/model.h"
#include "mwnd/Flashing.h"
#include "prgdlg/PresetOptionsDialog.h"

class QWidget;

struct GuiHooks {
  // Preset options (1015): edits Program[index] in place; returns an
  // EditorResult (main/presetedit.h) and sets *renamed when the name changed.
  int (*PresetEditor)(QWidget* owner, int index, bool* renamed) = PresetOptions;
  // Visual Color Options (1023) on a colour record; true on OK.
  bool (*VisualColorOptions)(QWidget* owner, VisOpt* record) = ::VisualColorOptions;
  // Configuration Wizard (1024).
  void (*ConfigWizard)(QWidget* owner) = ConfigurationWizard;
  // Screen flashing with a playback in a flashing mode: 0 started, a
  // message id, or -1 when it cannot start for a reason not worth a message.
  int (*StartVisual)(QWidget* window, const VisOpt& colours) = StartFlashing;
  void (*StopVisual)() = StopFlashing;
};

extern GuiHooks Hooks;
