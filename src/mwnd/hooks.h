// Where the later parts of the desktop program plug into the main window:
// the preset editor, the option dialogs, the configuration wizard and the
// screen flashing. A command whose hook is not installed is disabled (the
// preset editor has a built-in stand-in, GeneralEditor).
//
// Main thread only.
#pragma once
#include "main/model.h"

class QWidget;

struct GuiHooks {
  // Preset options (1015): edits Program[index] in place; returns an
  // EditorResult (wavestate.h) and sets *renamed when the name changed.
  int (*PresetEditor)(QWidget* owner, int index, bool* renamed) = nullptr;
  // Advanced Options (1010); true on OK.
  bool (*AdvancedOptions)(QWidget* owner) = nullptr;
  // Visual Color Options (1023) on a colour record; true on OK.
  bool (*VisualColorOptions)(QWidget* owner, VisOpt* record) = nullptr;
  // Configuration Wizard (1024).
  void (*ConfigWizard)(QWidget* owner) = nullptr;
  // Screen flashing with a playback in a flashing mode: 0 started, a
  // message id, or -1 when it cannot start for a reason not worth a message.
  int (*StartVisual)(QWidget* window, const VisOpt& colours) = nullptr;
  void (*StopVisual)() = nullptr;
};

extern GuiHooks Hooks;
