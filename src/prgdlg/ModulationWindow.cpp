// The modulation window.
#include "prgdlg/ModulationWindow.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "chart/ParameterChart.h"
#include "dialog/placement.h"
#include "main/chartmath.h"
#include "main/paramrules.h"
#include "main/preset.h"
#include "main/strtab.h"
#include "prgdlg/PresetOptionsDialog.h"
#include "reg/settings.h"

namespace {

constexpr int kUserDefined = 314;  // "User-defined..."

// Pane tops: a third of the height each, above the button row.
constexpr int kTop[3] = {0, 3 * 1024 - 6, 4 * 1024 - 12};

QString Title(int base) {
  switch (base) {
    case PN_SNDMODDEPTH: return ModulationWindow::tr("Sound Modulation");
    case PN_BGMODDEPTH: return ModulationWindow::tr("Background Modulation");
    case PN_VISMODDEPTH: return ModulationWindow::tr("Visual Modulation");
    case PN_VISMOD2DEPTH: return ModulationWindow::tr("Visual Modulation, Color 2");
    default: return ModulationWindow::tr("Noise Modulation");
  }
}

}  // namespace

ModulationWindow::ModulationWindow(PresetOptionsDialog* dialog, int base)
    : DynDialog(dialog, QSize(480, 262), QStringLiteral("modulation")), D(dialog), Base(base) {
  setObjectName(QStringLiteral("modulationWindow"));
  setWindowTitle(Title(base));
  DynLayout* l = dynLayout();
  for (int i = 0; i < 3; ++i) {
    const int n = Base + i;
    Pane& p = Panes[i];
    p.Name = new QLabel(this);
    p.Name->setObjectName(QStringLiteral("modName%1").arg(i));
    QFont bold = p.Name->font();
    bold.setBold(true);
    p.Name->setFont(bold);
    l->addControl(p.Name, 6, kTop[i] + 3, 1012, 8);
    const int group = ParamDef[n].Easy;
    if (group) {
      p.Easy = new QComboBox(this);
      p.Easy->setObjectName(QStringLiteral("modEasy%1").arg(i));
      for (const EasyModeType& e : EasyMode)
        if (e.Type == group) p.Easy->addItem(QString::fromUtf8(GetStr(e.Text)), e.EasySel);
      p.Easy->addItem(QString::fromUtf8(GetStr(kUserDefined)), 0);
      l->addControl(p.Easy, 6, kTop[i] + 13, 160, 12);
      connect(p.Easy, &QComboBox::activated, this, [this, i] { easyChosen(i); });
    }
    p.Chart = new ParameterChart(this);
    p.Chart->setObjectName(QStringLiteral("modChart%1").arg(i));
    const int y = group ? 28 : 14;
    l->addControl(p.Chart, 6, kTop[i] + y, 1012, 3 * 1024 - 8 - y);
    connect(p.Chart, &ParameterChart::nodesChanged, this, [this, i](quint32 code) { nodesChanged(i, code); });
    connect(p.Chart, &ParameterChart::playHere, this, [this](int time) { D->playAt(D->currentSegment(), time); });
    connect(p.Chart, &ParameterChart::stopPlaying, D, &PresetOptionsDialog::stopTest);
    connect(p.Chart, &ParameterChart::helpRequested, this, [this] { showHelp(this, helpTopic()); });
  }
  QPushButton* close = addButton(tr("Close"), 967, 1024 - 17);
  close->setObjectName(QStringLiteral("closeButton"));
  close->setDefault(true);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  connect(D, &PresetOptionsDialog::testStateChanged, this, [this](bool running) {
    for (const Pane& p : Panes) p.Chart->setTestPlaying(running, -1);
  });
  rebuild();
  place();
}

void ModulationWindow::open(PresetOptionsDialog* dialog, int base) {
  if (base < 0 || base + 2 >= PDBK) return;
  ModulationWindow w(dialog, base);
  w.run();
}

void ModulationWindow::rebuild() {
  for (int i = 0; i < 3; ++i) bindPane(i);
}

void ModulationWindow::bindPane(int i) {
  Pane& p = Panes[i];
  Param* params = D->segmentParams();
  if (!params) return;
  const int n = Base + i, voice = D->currentVoice(), voices = D->segment().NumVoices;
  int pid = PARAMID(voice, n);
  int channel = 0;
  if (ParamDef[n].Channels == 2 && params[pid].ChannelMode != 0) {
    channel = params[pid].ChannelMode == 2 ? 2 : 1;
    pid += channel - 1;
  }
  p.Pid = pid;
  QString name = QString::fromUtf8(GetStr(ParamDef[n].Name));
  if (ParamDef[n].FirstPid >= NSPAR && voices > 1) name = tr("%1 (Voice %2)").arg(name).arg(voice + 1);
  if (channel > 0) name = tr("%1: %2").arg(name, channel == 1 ? tr("Left") : tr("Right"));
  p.Name->setText(name);
  p.Chart->setAccessibleName(name);
  const bool inUse = ParamInUse(params, D->prg(), voice, n);
  const int sel = params[PARAMID(voice, n)].EasySel;
  const bool easy = p.Easy && sel != 0;
  p.Name->setVisible(inUse);
  if (p.Easy) {
    p.Easy->setAccessibleName(name);
    p.Easy->setCurrentIndex(std::max(0, p.Easy->findData(easy ? sel : 0)));
    p.Easy->setVisible(inUse);
  }
  p.Chart->setVisible(inUse && !easy);
  if (inUse && !easy) {
    p.Chart->bind(n, &params[pid], nullptr, params[pid].Tracking == 1, D->segment().Length);
    if (p.Chart->recomputeRange()) p.Chart->recomputeLayout(true);
  }
}

void ModulationWindow::easyChosen(int i) {
  Pane& p = Panes[i];
  Param* params = D->segmentParams();
  const int n = Base + i;
  const int sel = p.Easy->currentData().toInt();
  const std::vector<int> changed = ApplyEasyChoice(params, D->segment(), D->currentVoice(), n, sel, D->rules().Nodes);
  // One undo step for the choice and everything it set.
  for (size_t k = 0; k < changed.size(); ++k)
    D->propagateChange(changed[k], NodesChangedCode(NODES_ALL, NODES_ALL, -1, NODES_FLAG_RANGE), k > 0);
  if (changed.empty()) D->presetEdited();
  rebuild();
  // The chart or the box that replaced it keeps the keyboard.
  (p.Chart->isVisible() ? static_cast<QWidget*>(p.Chart) : p.Easy)->setFocus();
}

void ModulationWindow::nodesChanged(int i, quint32 code) {
  const int pid = Panes[i].Pid;
  if (pid < 0) return;
  D->parameterChanged(pid, code);
  const NodesChanged c = DecodeNodesChanged(code);
  for (int k = 0; k < 3; ++k) {
    ParameterChart* chart = Panes[k].Chart;
    if (!chart->isVisible()) continue;
    if (k == i && !c.All() && !(c.Flags & NODES_FLAG_RANGE)) {
      chart->invalidateNodes(c.First, c.Last, true);
    } else if (chart->recomputeRange(true, true, true)) {
      chart->recomputeLayout(true);
    } else {
      chart->invalidateNodes(-1, 0, true);
    }
  }
}

void ModulationWindow::place() {
  QWidget* owner = parentWidget();
  const QPoint base = owner ? owner->pos() : QPoint(0, 0);
  const Placement& p = Cfg.Modulation;
  if (p.X == CW_USEDEFAULT) {
    QScreen* s = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (s && s->geometry().width() > 640)
      resize(std::max(520, minimumSizeHint().width()), std::max(580, minimumSizeHint().height()));
    MoveInsideScreen(this, base + QPoint(100, 50));
  } else {
    if (p.Width > 0 && p.Height > 0) resize(p.Width, p.Height);
    MoveInsideScreen(this, base + QPoint(p.X, p.Y));
  }
}

void ModulationWindow::done(int r) {
  QWidget* owner = parentWidget();
  const QPoint rel = pos() - (owner ? owner->pos() : QPoint(0, 0));
  Cfg.Modulation = Placement{rel.x(), rel.y(), width(), height()};
  DynDialog::done(r);
}
