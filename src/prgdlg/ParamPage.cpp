// The parameter page of the preset options dialog.
#include "prgdlg/ParamPage.h"

#include <QLabel>

#include "chart/ParameterChart.h"
#include "data/bglib.h"
#include "dlggen/DynLayout.h"
#include "main/preset.h"
#include "main/strtab.h"
#include "prgdlg/PresetOptionsDialog.h"

namespace {

// The name line of a pane.
QString PaneName(int paramNum, int voice, int voices, int channel) {
  QString name = paramNum == PN_BGPARAM ? QString::fromUtf8(BackgroundParamName())
                                        : QString::fromUtf8(GetStr(ParamDef[paramNum].Name));
  if (ParamDef[paramNum].FirstPid >= NSPAR && voices > 1) name = QObject::tr("%1 (Voice %2)").arg(name).arg(voice + 1);
  if (channel > 0) name = QObject::tr("%1: %2").arg(name, channel == 1 ? QObject::tr("Left") : QObject::tr("Right"));
  return name;
}

}  // namespace

ParamPage::ParamPage(PresetOptionsDialog* dialog) : QWidget(dialog), D(dialog) {
  setObjectName(QStringLiteral("paramPage"));
  L = new DynLayout(this, QSize(480, 246));
  // Each display tab has three panes, a third of the page's height each.
  static constexpr int kTop[3] = {0, 3 * 1024, 4 * 1024};
  for (int s = 0; s < PAGE_POSITIONS; ++s) {
    int n = PagePosition(s);
    if (n < 0) continue;
    Pane& p = Panes[s];
    p.ParamNum = n;
    p.Name = new QLabel(this);
    p.Name->setObjectName(QStringLiteral("paneName%1").arg(s));
    QFont bold = p.Name->font();
    bold.setBold(true);
    p.Name->setFont(bold);
    L->addControl(p.Name, 6, kTop[s % 3] + 3, 1012, 8);
    p.Chart = new ParameterChart(this);
    p.Chart->setObjectName(QStringLiteral("chart%1").arg(s));
    L->addControl(p.Chart, 6, kTop[s % 3] + 14, 1012, 3 * 1024 - 17);
    ParameterChart* c = p.Chart;
    connect(c, &ParameterChart::nodesChanged, this, [this, s](quint32 code) {
      if (Panes[s].Pid >= 0) D->parameterChanged(Panes[s].Pid, code);
    });
    connect(c, &ParameterChart::playHere, this, [this](int time) { D->playAt(D->currentSegment(), time); });
    connect(c, &ParameterChart::stopPlaying, D, &PresetOptionsDialog::stopTest);
    connect(c, &ParameterChart::helpRequested, this, [this] { DynDialog::showHelp(D, QStringLiteral("chart")); });
    p.Name->hide();
    c->hide();
  }
}

void ParamPage::showEvent(QShowEvent* e) {
  if (!L->isRegistered()) L->registerLayout();
  QWidget::showEvent(e);
}

ParameterChart* ParamPage::chart(int position) const {
  return position >= 0 && position < PAGE_POSITIONS ? Panes[position].Chart : nullptr;
}

int ParamPage::chartPid(int position) const {
  return position >= 0 && position < PAGE_POSITIONS ? Panes[position].Pid : -1;
}

ParameterChart* ParamPage::paneChart(int pane) const { return chart(3 * (Tab - 1) + pane); }

QLabel* ParamPage::paneName(int position) const {
  return position >= 0 && position < PAGE_POSITIONS ? Panes[position].Name : nullptr;
}

void ParamPage::setDisplayTab(int t) {
  Tab = std::clamp(t, 1, 5);
  QWidget* focus = focusWidget();
  for (int s = 0; s < PAGE_POSITIONS; ++s) {
    if (!Panes[s].Chart) continue;
    bool on = s / 3 == Tab - 1;
    Panes[s].Name->setVisible(on);
    Panes[s].Chart->setVisible(on);
  }
  if (focus && !focus->isVisible()) setFocus();
}

void ParamPage::bindPane(int s, bool ranges) {
  Pane& p = Panes[s];
  Param* params = D->segmentParams();
  if (!p.Chart || !params) return;
  const int voice = D->currentVoice(), voices = D->segment().NumVoices;
  const int n = p.ParamNum;
  int pid = PARAMID(voice, n);
  int channel = 0;
  if (ParamDef[n].Channels == 2 && params[pid].ChannelMode != 0) {
    channel = params[pid].ChannelMode == 2 ? 2 : 1;
    if (channel == 2) ++pid;
  }
  const int32_t length = D->segment().Length;
  const int pitch = PARAMID(voice, PN_PITCH);
  if (n == PN_BEAT && params[pitch].ChannelMode != 0) {
    // The beat is the difference of the two pitch channels.
    p.Pid = -1;
    p.Chart->bind(n, &params[pitch], &params[pitch + 1], true, length);
  } else {
    p.Pid = pid;
    p.Chart->bind(n, &params[pid], nullptr, params[pid].Tracking == 1, length);
  }
  if (ranges && p.Chart->recomputeRange()) p.Chart->recomputeLayout(true);
  p.Name->setText(PaneName(n, voice, voices, channel));
  p.Chart->setAccessibleName(p.Name->text());
}

void ParamPage::rebind(bool ranges) {
  for (int s = 0; s < PAGE_POSITIONS; ++s) bindPane(s, ranges);
}

void ParamPage::lengthChanged() {
  for (const Pane& p : Panes)
    if (p.Chart) p.Chart->setSegmentLength(D->segment().Length);
}

void ParamPage::refreshCharts(int pid, const NodeRange& r, bool range) {
  for (const Pane& p : Panes) {
    if (!p.Chart) continue;
    // Other charts may show parameters that follow the one edited (or its
    // derived curve): they redraw whole, with their range.
    const bool edited = p.Pid == pid;
    if ((range || !edited) && p.Chart->recomputeRange(true, true, true)) {
      p.Chart->recomputeLayout(true);
      continue;
    }
    if (edited && !r.Empty())
      p.Chart->invalidateNodes(r.First, r.Last, true);
    else
      p.Chart->invalidateNodes(-1, 0, true);
  }
}

void ParamPage::setPlayPosition(bool playing, int time) {
  for (const Pane& p : Panes)
    if (p.Chart) p.Chart->setTestPlaying(playing, time);
}
