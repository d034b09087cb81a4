// The main window's commands in one place: the menu bar (menu 30), the
// toolbar and the keyboard accelerators. Every action has an objectName
// ("actionPlay", "toolPlay", ...) so tests can find and trigger it.
//
// The toolbar has actions of its own where the part of the window that shows
// them differs from the menu (the toolbar hides Play while playing, the menu
// grays it).
#pragma once
#include <QAction>
#include <QActionGroup>

class QMenuBar;
class QToolBar;
class QWidget;

struct MainActions {
  // Presets
  QAction *New, *Save, *SaveAs, *Delete, *Export, *Import, *Exit;
  // Options
  QAction *VisNone, *VisAudioStrobe, *VisWindow, *VisWindowTop, *VisFullScreen;
  QActionGroup* Visual;
  QAction *VisualColors, *ShowParams, *ConfigWizard, *Advanced;
  // Wave
  QAction *Play, *PlayDelay, *Stop, *Freeze, *PlayWav, *PresetOptions;
  QAction* SleepTimer;
  // Help
  QAction *Help, *About;
  // Toolbar
  QAction *ToolPlay, *ToolFreeze, *ToolStop, *ToolOptions, *ToolNew, *ToolSave, *ToolDelete, *ToolHelp;
};

// Creates every action with its text, shortcut, icon and tooltip.
void CreateActions(MainActions& a, QWidget* owner);
// Fills the menu bar.
void BuildMenus(const MainActions& a, QMenuBar* bar);
// Fills the toolbar; `presetList` goes right after Preset options.
void BuildToolBar(const MainActions& a, QToolBar* bar, QWidget* presetList);
// The menu command a toolbar button stands for (the toolbar is not in the
// Tab order: its commands are reached through the menus and their
// shortcuts), or null for an action that is not a toolbar button.
QAction* MenuActionFor(const MainActions& a, const QAction* tool);
// The icon of a command: the desktop theme's, or the bundled one.
QIcon CommandIcon(const char* themeName, const char* bundled);
