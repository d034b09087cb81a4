// The modulation window.
#include "prgdlg/ModulationWindow.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "chart/ParameterChart.h"
#include "dialog/placement.h"
#include "main/chartmath.h"
#include "main/paramrules.h"
#include "main/preset.h"
#include "main/startup.h"
#include "main/strtab.h"
#include "prgdlg/ParamPage.h"
#include "prgdlg/PresetOptionsDialog.h"
#include "reg/settings.h"

namespace {

constexpr int kUserDefined = 314;  // "User-defined..."

// Dialog units: a chart's least height and the height it opens with, the
// width of the Easy boxes, and the window's width while charts show.
constexpr int kChartLeast = 40, kChartOpen = 90, kEasyWidth = 160, kChartsWidth = 480;

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
    : DynDialog(dialog, QSize(kEasyWidth + 12, 60), ParamHelpTopic(base)), D(dialog), Base(base) {
  setObjectName(QStringLiteral("modulationWindow"));
  setWindowTitle(Title(base));
  DynLayout* l = dynLayout();
  // The panes stack: each its name, Easy box and chart. What is not in use
  // takes no room, and the window is as large as what shows (fitContent).
  Content = new QWidget(this);
  auto* v = new QVBoxLayout(Content);
  v->setContentsMargins(0, 0, 0, 0);
  v->setSpacing(l->mapDialogRect(0, 0, 0, 3).height());
  l->addControl(Content, 6, 3, 1012, 1024 - 25);
  for (int i = 0; i < 3; ++i) {
    const int n = Base + i;
    Pane& p = Panes[i];
    p.Name = new QLabel(Content);
    p.Name->setObjectName(QStringLiteral("modName%1").arg(i));
    QFont bold = p.Name->font();
    bold.setBold(true);
    p.Name->setFont(bold);
    v->addWidget(p.Name);
    const int group = ParamDef[n].Easy;
    if (group) {
      p.Easy = new QComboBox(Content);
      p.Easy->setObjectName(QStringLiteral("modEasy%1").arg(i));
      for (const EasyModeType& e : EasyMode)
        if (e.Type == group) p.Easy->addItem(QString::fromUtf8(GetStr(e.Text)), e.EasySel);
      p.Easy->addItem(QString::fromUtf8(GetStr(kUserDefined)), 0);
      p.Easy->setMinimumWidth(l->mapDialogRect(0, 0, kEasyWidth, 0).width());
      v->addWidget(p.Easy, 0, Qt::AlignLeft);
      connect(p.Easy, &QComboBox::activated, this, [this, i] { easyChosen(i); });
    }
    p.Chart = new ParameterChart(Content);
    p.Chart->setObjectName(QStringLiteral("modChart%1").arg(i));
    p.Chart->setMinimumHeight(l->mapDialogRect(0, 0, 0, kChartLeast).height());
    v->addWidget(p.Chart, 1);
    connect(p.Chart, &ParameterChart::nodesChanged, this,
            [this, i](const NodesChanged& change) { nodesChanged(i, change); });
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
  if (!Placed) return;
  resize(fitContent(size()));
  // Grown for charts, it stays whole on its screen.
  MoveInsideScreen(this, pos());
}

bool ModulationWindow::showsCharts() const {
  for (const Pane& p : Panes)
    if (!p.Chart->isHidden()) return true;
  return false;
}

QSize ModulationWindow::fitContent(QSize now) {
  DynLayout* l = dynLayout();
  // Around the panes: 6 units either side, 3 above, the Close row below.
  const QSize around = l->mapDialogRect(0, 0, 12, 25).size();
  Content->layout()->invalidate();
  const QSize least = Content->layout()->minimumSize() + around;
  l->setMinimumClientSize(least);
  l->activate();
  if (!showsCharts()) return least;
  // Charts open at a height they read well at, as wide as the page's.
  int charts = 0;
  for (const Pane& p : Panes) charts += p.Chart->isHidden() ? 0 : 1;
  const QSize open(std::max(least.width(), l->mapDialogRect(0, 0, kChartsWidth, 0).width()),
                   least.height() + charts * l->mapDialogRect(0, 0, 0, kChartOpen - kChartLeast).height());
  return now.expandedTo(open);
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
  const bool inUse = ParamInUse(D->backgroundRow(), params, D->prg(), voice, n);
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
  const std::vector<int> changed =
      ApplyEasyChoice(D->backgroundRow(), params, D->segment(), D->currentVoice(), n, sel, D->rules().Nodes);
  // One undo step for the choice and everything it set.
  for (size_t k = 0; k < changed.size(); ++k) D->propagateChange(changed[k], kWholeCurveChanged, k > 0);
  if (changed.empty()) D->presetEdited();
  rebuild();
  // The chart or the box that replaced it keeps the keyboard.
  (p.Chart->isVisible() ? static_cast<QWidget*>(p.Chart) : p.Easy)->setFocus();
}

void ModulationWindow::nodesChanged(int i, const NodesChanged& c) {
  const int pid = Panes[i].Pid;
  if (pid < 0) return;
  D->parameterChanged(pid, c);
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
  // A size of its own is kept only for the charts; the Easy boxes alone
  // take what they need.
  const Placement& saved = Cfg.Modulation;
  QSize size = fitContent(QSize());
  if (showsCharts() && saved.X != CW_USEDEFAULT && saved.Width > 0 && saved.Height > 0)
    size = QSize(saved.Width, saved.Height).expandedTo(size);
  resize(size);
  Placement at = saved;
  at.Width = at.Height = 0;
  PlaceWindow(this, parentWidget(), at);
  Placed = true;
}

void ModulationWindow::done(int r) {
  const Placement now = SavedPlacement(this, parentWidget());
  Cfg.Modulation.X = now.X;
  Cfg.Modulation.Y = now.Y;
  if (showsCharts()) {
    Cfg.Modulation.Width = now.Width;
    Cfg.Modulation.Height = now.Height;
  }
  DynDialog::done(r);
}
