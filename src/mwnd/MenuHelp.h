// F1 on a menu item opens that command's help page: a filter on the menus
// of the main window's menu bar. A command's page is named in one table by
// the command's objectName; a command without one opens the contents.
//
// Main thread only.
#pragma once
#include <QString>

class QAction;
class QMenuBar;

// Watches every menu of `bar` (installed once the menus are built).
void InstallMenuHelp(QMenuBar* bar);
// The help page of a menu command ("index" when it has none).
QString CommandHelpTopic(const QAction* command);
