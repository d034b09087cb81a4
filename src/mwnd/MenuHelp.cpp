// F1 on a menu item.
#include "mwnd/MenuHelp.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <cstring>

#include "mwnd/HelpWindow.h"

namespace {

struct CommandPage {
  const char* Command;  // the action's objectName
  const char* Topic;
};
constexpr CommandPage kPages[] = {
    {"actionNew", "new"},
    {"actionSave", "save"},
    {"actionSaveAs", "save_as"},
    {"actionDelete", "delete"},
    {"actionExport", "export"},
    {"actionImport", "import"},
    {"actionExit", "exit"},
    {"actionVisualNone", "visual_none"},
    {"actionVisualAudioStrobe", "visual_audiostrobe"},
    {"actionVisualWindow", "visual_window"},
    {"actionVisualWindowTop", "visual_window_top"},
    {"actionVisualFullScreen", "visual_fullscreen"},
    {"actionVisualColors", "visual_colors"},
    {"actionShowParams", "show_params"},
    {"actionConfigWizard", "config_wizard"},
    {"actionAdvanced", "advanced"},
    {"actionPlay", "play"},
    {"actionPlayDelay", "play_delay"},
    {"actionStop", "stop"},
    {"actionFreeze", "freeze"},
    {"actionPlayWav", "play_wav"},
    {"actionCheckLight", "light_check"},
    {"actionSleepTimer", "sleep_timer"},
    {"actionPresetOptions", "preset_options"},
    {"actionHelp", "index"},
    {"actionAbout", "about"},
};

class MenuHelpFilter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* o, QEvent* e) override {
    const bool key = e->type() == QEvent::KeyPress || e->type() == QEvent::ShortcutOverride;
    if (!key || static_cast<QKeyEvent*>(e)->key() != Qt::Key_F1) return false;
    auto* menu = qobject_cast<QMenu*>(o);
    // Taken before the window's own F1 (Help Topics) sees it.
    if (e->type() == QEvent::ShortcutOverride) {
      e->accept();
      return true;
    }
    const QString topic = CommandHelpTopic(menu ? menu->activeAction() : nullptr);
    QWidget* owner = menu ? menu->parentWidget() : nullptr;
    // The menus close, as after choosing a command.
    while (QWidget* popup = QApplication::activePopupWidget()) {
      popup->close();
      if (QApplication::activePopupWidget() == popup) break;
    }
    HelpWindow::showTopic(owner ? owner->window() : nullptr, topic);
    return true;
  }
};

}  // namespace

QString CommandHelpTopic(const QAction* command) {
  if (command)
    for (const CommandPage& p : kPages)
      if (command->objectName() == QLatin1String(p.Command)) return QString::fromLatin1(p.Topic);
  return QStringLiteral("index");
}

void InstallMenuHelp(QMenuBar* bar) {
  auto* filter = new MenuHelpFilter(bar);
  for (QAction* a : bar->actions())
    if (QMenu* m = a->menu()) m->installEventFilter(filter);
}
