// The main window's menus, toolbar and accelerators.
#include "mwnd/Actions.h"

#include <QMenuBar>
#include <QToolBar>
#include <utility>

#include "main/strtab.h"

namespace {

QAction* Make(QWidget* owner, const char* name, const QString& text, const QKeySequence& key = QKeySequence()) {
  // With its shortcut set, the menu shows the keys after the text itself, as
  // the "\t" part did; a screen reader then hears the command's name alone
  // and the keys as its key binding.
  auto* a = new QAction(key.isEmpty() ? text : text.section(QLatin1Char('\t'), 0, 0), owner);
  a->setObjectName(QString::fromLatin1(name));
  if (!key.isEmpty()) a->setShortcut(key);
  // Shortcuts work wherever the focus is inside the main window.
  a->setShortcutContext(Qt::WindowShortcut);
  owner->addAction(a);
  return a;
}

QAction* Tool(QWidget* owner, const char* name, int tipId, const QIcon& icon) {
  QString tip = QString::fromUtf8(GetStr(tipId));
  auto* a = new QAction(icon, tip, owner);
  a->setObjectName(QString::fromLatin1(name));
  a->setToolTip(tip);
  return a;
}

QAction* Checkable(QAction* a) {
  a->setCheckable(true);
  return a;
}

}  // namespace

QIcon CommandIcon(const char* themeName, const char* bundled) {
  QIcon own(QStringLiteral(":/icons/%1").arg(bundled));
  // The desktop's icons where a desktop names its theme. Without one, the
  // search through the installed themes costs a good part of a second at
  // start and finds nothing the program does not bring itself.
  static const bool kDesktopTheme = !QIcon::themeName().isEmpty() && QIcon::themeName() != "hicolor";
  return kDesktopTheme ? QIcon::fromTheme(QString::fromLatin1(themeName), own) : own;
}

void CreateActions(MainActions& a, QWidget* o) {
  // clang-format off
  a.New = Make(o, "actionNew", QObject::tr("&New Preset...\tCtrl+N"), QKeySequence(Qt::CTRL | Qt::Key_N));
  a.Save = Make(o, "actionSave", QObject::tr("&Save\tCtrl+S"), QKeySequence(Qt::CTRL | Qt::Key_S));
  a.SaveAs = Make(o, "actionSaveAs", QObject::tr("Save &As..."));
  a.Delete = Make(o, "actionDelete", QObject::tr("&Delete\tCtrl+D"), QKeySequence(Qt::CTRL | Qt::Key_D));
  a.Export = Make(o, "actionExport", QObject::tr("&Export...\tCtrl+E"), QKeySequence(Qt::CTRL | Qt::Key_E));
  a.Import = Make(o, "actionImport", QObject::tr("&Import...\tCtrl+I"), QKeySequence(Qt::CTRL | Qt::Key_I));
  a.Exit = Make(o, "actionExit", QObject::tr("E&xit"));

  a.VisNone = Checkable(Make(o, "actionVisualNone", QObject::tr("&No Visual Effects")));
  a.VisAudioStrobe = Checkable(Make(o, "actionVisualAudioStrobe", QObject::tr("Use &External Goggles (AudioStrobe)")));
  a.VisWindow = Checkable(Make(o, "actionVisualWindow", QObject::tr("Flash &Window")));
  a.VisWindowTop = Checkable(Make(o, "actionVisualWindowTop", QObject::tr("Flash Wi&ndow (Always on Top)")));
  a.VisFullScreen = Checkable(Make(o, "actionVisualFullScreen", QObject::tr("&Flash Full Screen")));
  a.Visual = new QActionGroup(o);
  for (QAction* v : {a.VisNone, a.VisAudioStrobe, a.VisWindow, a.VisWindowTop, a.VisFullScreen}) a.Visual->addAction(v);
  a.VisualColors = Make(o, "actionVisualColors", QObject::tr("&Visual Color Options..."));
  a.ShowParams = Checkable(Make(o, "actionShowParams", QObject::tr("&Show Parameters While Playing")));
  a.ConfigWizard = Make(o, "actionConfigWizard", QObject::tr("&Configuration Wizard..."));
  a.Advanced = Make(o, "actionAdvanced", QObject::tr("Advanced &Options..."));

  a.Play = Make(o, "actionPlay", QObject::tr("&Play\tAlt+P"), QKeySequence(Qt::ALT | Qt::Key_P));
  a.PlayDelay = Make(o, "actionPlayDelay", QObject::tr("Play With &Delay\tAlt+D"), QKeySequence(Qt::ALT | Qt::Key_D));
  a.Stop = Make(o, "actionStop", QObject::tr("&Stop\tAlt+S"), QKeySequence(Qt::ALT | Qt::Key_S));
  a.Stop->setShortcuts({QKeySequence(Qt::ALT | Qt::Key_S), QKeySequence(Qt::Key_Escape)});
  a.Freeze = Make(o, "actionFreeze", QObject::tr("&Freeze/Restart\tAlt+F"), QKeySequence(Qt::ALT | Qt::Key_F));
  a.PlayWav = Make(o, "actionPlayWav", QObject::tr("Play Into .&WAV File..."));
  a.SleepTimer = Make(o, "actionSleepTimer", QObject::tr("Sleep &Timer..."));
  a.PresetOptions = Make(o, "actionPresetOptions", QObject::tr("Preset &Options...\tCtrl+O"), QKeySequence(Qt::CTRL | Qt::Key_O));

  a.Help = Make(o, "actionHelp", QObject::tr("&Help Topics\tF1"), QKeySequence(Qt::Key_F1));
  a.About = Make(o, "actionAbout", QObject::tr("&About..."));

  a.ToolPlay = Tool(o, "toolPlay", 41, CommandIcon("media-playback-start", "play.svg"));
  a.ToolFreeze = Tool(o, "toolFreeze", 43, CommandIcon("media-playback-pause", "freeze.svg"));
  a.ToolStop = Tool(o, "toolStop", 42, CommandIcon("media-playback-stop", "stop.svg"));
  a.ToolOptions = Tool(o, "toolOptions", 45, CommandIcon("document-properties", "options.svg"));
  a.ToolNew = Tool(o, "toolNew", 48, CommandIcon("document-new", "new.svg"));
  a.ToolSave = Tool(o, "toolSave", 47, CommandIcon("document-save", "save.svg"));
  a.ToolDelete = Tool(o, "toolDelete", 49, CommandIcon("edit-delete", "delete.svg"));
  a.ToolHelp = Tool(o, "toolHelp", 51, CommandIcon("help-contents", "help.svg"));
  // clang-format on
}

void BuildMenus(const MainActions& a, QMenuBar* bar) {
  QMenu* m = bar->addMenu(QObject::tr("P&resets"));
  m->setObjectName(QStringLiteral("menuPresets"));
  m->addActions({a.New, a.Save, a.SaveAs, a.Delete});
  m->addSeparator();
  m->addActions({a.Export, a.Import});
  m->addSeparator();
  m->addAction(a.Exit);

  m = bar->addMenu(QObject::tr("&Options"));
  m->setObjectName(QStringLiteral("menuOptions"));
  m->addActions({a.VisNone, a.VisAudioStrobe, a.VisWindow, a.VisWindowTop, a.VisFullScreen});
  m->addSeparator();
  m->addAction(a.VisualColors);
  m->addSeparator();
  m->addAction(a.ShowParams);
  m->addSeparator();
  m->addActions({a.ConfigWizard, a.Advanced});

  m = bar->addMenu(QObject::tr("&Wave"));
  m->setObjectName(QStringLiteral("menuWave"));
  m->addActions({a.Play, a.PlayDelay, a.Stop, a.Freeze, a.PlayWav});
  m->addSeparator();
  m->addAction(a.SleepTimer);
  m->addSeparator();
  m->addAction(a.PresetOptions);

  m = bar->addMenu(QObject::tr("&Help"));
  m->setObjectName(QStringLiteral("menuHelp"));
  m->addAction(a.Help);
  m->addSeparator();
  m->addAction(a.About);
}

void BuildToolBar(const MainActions& a, QToolBar* bar, QWidget* presetList) {
  bar->addActions({a.ToolPlay, a.ToolFreeze, a.ToolStop});
  bar->addSeparator();
  bar->addAction(a.ToolOptions);
  bar->addWidget(presetList);
  bar->addActions({a.ToolNew, a.ToolSave, a.ToolDelete});
  bar->addSeparator();
  bar->addAction(a.ToolHelp);
}

QAction* MenuActionFor(const MainActions& a, const QAction* tool) {
  const std::pair<QAction*, QAction*> pairs[] = {
      {a.ToolPlay, a.Play}, {a.ToolFreeze, a.Freeze}, {a.ToolStop, a.Stop},     {a.ToolOptions, a.PresetOptions},
      {a.ToolNew, a.New},   {a.ToolSave, a.Save},     {a.ToolDelete, a.Delete}, {a.ToolHelp, a.Help},
  };
  for (const auto& [t, m] : pairs)
    if (t == tool) return m;
  return nullptr;
}
