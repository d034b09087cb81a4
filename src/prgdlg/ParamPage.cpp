// The parameter page of the preset options dialog.
#include "prgdlg/ParamPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

#include "chart/ParameterChart.h"
#include "data/backgrounds/bglib.h"
#include "dialog/MessageBox.h"
#include "dialog/WarningBox.h"
#include "dialog/strids.h"
#include "dlggen/DynLayout.h"
#include "main/paramrules.h"
#include "main/preset.h"
#include "main/strtab.h"
#include "prgdlg/ModulationWindow.h"
#include "prgdlg/PresetOptionsDialog.h"
#include "prgdlg/TrackingDestinationDialog.h"
#include "prgdlg/TrackingOptionsDialog.h"
#include "reg/settings.h"

namespace {

// The name line of a pane.
QString PaneName(const char* name, int paramNum, int voice, int voices, int channel) {
  return QString::fromStdString(PaneNameLine(name, paramNum, voice, voices, channel));
}

// The Track list's row that opens the Tracking Destination window.
constexpr int kOtherDestination = -2;

// Pane tops: the top, middle and bottom third of the page.
constexpr int kTop[3] = {0, 3 * 1024, 4 * 1024};

}  // namespace

ParamPage::ParamPage(PresetOptionsDialog* dialog) : QWidget(dialog), D(dialog) {
  setObjectName(QStringLiteral("paramPage"));
  L = new DynLayout(this, QSize(480, 246));
  // Each display tab has three panes, a third of the page's height each.
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
    L->addControl(p.Name, 6, kTop[s % 3] + 3, 200, 9);
    createControls(s);
    p.Chart = new ParameterChart(this);
    p.Chart->setObjectName(QStringLiteral("chart%1").arg(s));
    L->addControl(p.Chart, 6, kTop[s % 3] + 30, 1012, 3 * 1024 - 32);
    ParameterChart* c = p.Chart;
    connect(c, &ParameterChart::nodesChanged, this, [this, s](const NodesChanged& change) {
      if (Panes[s].Pid >= 0) D->parameterChanged(Panes[s].Pid, change);
    });
    connect(c, &ParameterChart::playHere, this, [this](int time) { D->playAt(D->currentSegment(), time); });
    connect(c, &ParameterChart::stopPlaying, D, &PresetOptionsDialog::stopTest);
    connect(c, &ParameterChart::helpRequested, this,
            [this, s] { DynDialog::showHelp(D, ParamHelpTopic(Panes[s].ParamNum)); });
    p.Name->hide();
    c->hide();
  }
  // The Noise tab's bottom pane.
  NoiseInsideHead = new QCheckBox(tr("Noise source inside the head (invert right/left)"), this);
  NoiseInsideHead->setObjectName(QStringLiteral("noiseInsideHead"));
  L->addControl(NoiseInsideHead, 6, kTop[2] + 5, 240, 10);
  connect(NoiseInsideHead, &QCheckBox::clicked, this, &ParamPage::noiseInsideHeadToggled);
  NoiseInsideHead->hide();
}

void ParamPage::createControls(int s) {
  Pane& p = Panes[s];
  const int top = kTop[s % 3];
  QFont bold = p.Name->font();
  bold.setBold(true);
  p.Left = new QRadioButton(tr("Left"), this);
  p.Right = new QRadioButton(tr("Right"), this);
  p.Left->setObjectName(QStringLiteral("left%1").arg(s));
  p.Right->setObjectName(QStringLiteral("right%1").arg(s));
  for (QRadioButton* r : {p.Left, p.Right}) {
    r->setFont(bold);
    r->setAutoExclusive(false);  // the pair of each pane is exclusive by the copy's ChannelMode
    r->hide();
  }
  L->addControl(p.Left, 210, top + 2, 36, 10);
  L->addControl(p.Right, 248, top + 2, 40, 10);
  connect(p.Left, &QRadioButton::clicked, this, [this, s] { channelChosen(s, 1); });
  connect(p.Right, &QRadioButton::clicked, this, [this, s] { channelChosen(s, 2); });

  p.Easy = new QComboBox(this);
  p.Easy->setObjectName(QStringLiteral("easy%1").arg(s));
  L->addControl(p.Easy, 6, top + 14, 150, 13);
  connect(p.Easy, &QComboBox::activated, this,
          [this, s](int row) { easyChosen(s, Panes[s].Easy->itemData(row).toInt()); });
  p.Easy->hide();

  if (D->paramRow(p.ParamNum).Channels == 2) {
    p.Separate = new QCheckBox(tr("Set left/right separately"), this);
    p.Separate->setObjectName(QStringLiteral("separate%1").arg(s));
    L->addControl(p.Separate, 162, top + 15, 110, 10);
    connect(p.Separate, &QCheckBox::clicked, this, [this, s](bool on) { separateToggled(s, on); });
    p.Separate->hide();
  }
  if (p.ParamNum != PN_BEAT) {
    p.Track = new QCheckBox(tr("Track:"), this);
    p.Track->setObjectName(QStringLiteral("track%1").arg(s));
    L->addControl(p.Track, 274, top + 15, 38, 10);
    connect(p.Track, &QCheckBox::clicked, this, [this, s](bool on) { trackToggled(s, on); });
    p.Track->hide();
    p.TrackList = new QComboBox(this);
    p.TrackList->setObjectName(QStringLiteral("trackList%1").arg(s));
    L->addControl(p.TrackList, 314, top + 14, 1024 - 6 - 314 - 20, 13);
    p.TrackOptions = new QPushButton(tr("..."), this);
    p.TrackOptions->setObjectName(QStringLiteral("trackOptions%1").arg(s));
    L->addControl(p.TrackOptions, 1024 - 6 - 18, top + 14, 18, 13);
    connect(p.TrackOptions, &QPushButton::clicked, this, [this, s] { trackOptions(s); });
    p.TrackOptions->hide();
    connect(p.TrackList, &QComboBox::activated, this,
            [this, s](int row) { destinationChosen(s, Panes[s].TrackList->itemData(row).toInt()); });
    p.TrackList->hide();
  }
  if (ModulationOfPane(p.ParamNum) >= 0) {
    p.Modulation = new QPushButton(this);
    p.Modulation->setObjectName(QStringLiteral("modulation%1").arg(s));
    L->addControl(p.Modulation, 1024 - 6 - 84, top + 1, 84, 13);
    connect(p.Modulation, &QPushButton::clicked, this, [this, s] { openModulation(s); });
    p.Modulation->hide();
  }
}

QString ParamHelpTopic(int paramNum) {
  static const char* const kTopics[PDBK] = {"beat",
                                            "pitch",
                                            "volume",
                                            "waveform",
                                            "filter",
                                            "background_volume",
                                            "background_interval",
                                            "background_phase",
                                            "noise_volume",
                                            "noise_smoothness",
                                            "visual_frequency",
                                            "visual_brightness",
                                            "visual_brightness",
                                            "visual_phase",
                                            "sound_modulation",
                                            "sound_modulation",
                                            "sound_modulation",
                                            "background_modulation",
                                            "background_modulation",
                                            "background_modulation",
                                            "visual_modulation",
                                            "visual_modulation",
                                            "visual_modulation",
                                            "visual_modulation",
                                            "visual_modulation",
                                            "visual_modulation",
                                            "noise_modulation",
                                            "noise_modulation",
                                            "noise_modulation"};
  if (paramNum < 0 || paramNum >= PDBK) return QStringLiteral("chart");
  return QStringLiteral("param_") + QLatin1String(kTopics[paramNum]);
}

int ParamPage::paneOf(const QWidget* w) const {
  for (int s = 0; s < PAGE_POSITIONS; ++s) {
    const Pane& p = Panes[s];
    if (p.ParamNum < 0) continue;
    const QWidget* controls[] = {p.Name,     p.Chart, p.Left,      p.Right,        p.Easy,
                                 p.Separate, p.Track, p.TrackList, p.TrackOptions, p.Modulation};
    for (const QWidget* c : controls)
      if (c && (c == w || c->isAncestorOf(w))) return s;
  }
  return -1;
}

void ParamPage::keyPressEvent(QKeyEvent* e) {
  const int s = e->key() == Qt::Key_F1 ? paneOf(focusWidget()) : -1;
  if (s < 0) {
    QWidget::keyPressEvent(e);  // the dialog's own page
    return;
  }
  DynDialog::showHelp(D, ParamHelpTopic(Panes[s].ParamNum));
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

QComboBox* ParamPage::easyBox(int position) const {
  return position >= 0 && position < PAGE_POSITIONS ? Panes[position].Easy : nullptr;
}

QCheckBox* ParamPage::separateBox(int position) const {
  return position >= 0 && position < PAGE_POSITIONS ? Panes[position].Separate : nullptr;
}

QRadioButton* ParamPage::channelRadio(int position, int channel) const {
  if (position < 0 || position >= PAGE_POSITIONS) return nullptr;
  return channel == 2 ? Panes[position].Right : Panes[position].Left;
}

QCheckBox* ParamPage::trackBox(int position) const {
  return position >= 0 && position < PAGE_POSITIONS ? Panes[position].Track : nullptr;
}

QComboBox* ParamPage::trackList(int position) const {
  return position >= 0 && position < PAGE_POSITIONS ? Panes[position].TrackList : nullptr;
}

QPushButton* ParamPage::trackOptionsButton(int position) const {
  return position >= 0 && position < PAGE_POSITIONS ? Panes[position].TrackOptions : nullptr;
}

QPushButton* ParamPage::modulationButton(int position) const {
  return position >= 0 && position < PAGE_POSITIONS ? Panes[position].Modulation : nullptr;
}

void ParamPage::setDisplayTab(int t) {
  Tab = std::clamp(t, 1, 5);
  QWidget* focus = focusWidget();
  updatePanes();
  if (focus && !focus->isVisible()) setFocus();
}

void ParamPage::updatePanes() {
  for (int s = 0; s < PAGE_POSITIONS; ++s) updatePane(s);
  const Param* params = D->segmentParams();
  const bool noiseTab = Tab == 4 && params;
  // The noise turned inwards needs noise, and one colour for both ears.
  NoiseInsideHead->setVisible(noiseTab && params[PID_NOISEVOL].EasySel != 46);
  NoiseInsideHead->setEnabled(noiseTab && params[PID_NOISESMOOTH].ChannelMode == 0);
  NoiseInsideHead->setChecked(D->segment().NoiseInsideHead != 0);
}

void ParamPage::updatePane(int s) {
  Pane& p = Panes[s];
  const Param* params = D->segmentParams();
  if (!p.Chart || !params) return;
  const int voice = D->currentVoice();
  const PaneView v = PaneContents(D->backgroundRow(), params, D->prg(), voice, p.ParamNum);
  const bool on = s / 3 == Tab - 1;
  const QString name = PaneName(D->paramName(p.ParamNum), p.ParamNum, voice, D->segment().NumVoices, v.Channel);
  p.Name->setText(name);
  p.Name->setVisible(on && v.InUse);
  p.Chart->setVisible(on && v.Chart);
  p.Chart->setAccessibleName(name);

  p.Left->setVisible(on && v.Radios);
  p.Right->setVisible(on && v.Radios);
  p.Left->setChecked(v.Channel == 1);
  p.Right->setChecked(v.Channel == 2);
  p.Left->setAccessibleName(tr("%1: show the left channel").arg(name));
  p.Right->setAccessibleName(tr("%1: show the right channel").arg(name));

  // The rows of the parameter's group (the background's changes with the
  // background), then "User-defined...".
  {
    const QSignalBlocker block(p.Easy);
    p.Easy->clear();
    for (int sel : EasyChoices(D->paramRow(p.ParamNum).Easy))
      p.Easy->addItem(QString::fromUtf8(GetStr(EasyMode[FindEasyEntry(sel)].Text)), sel);
    p.Easy->setCurrentIndex(std::max(p.Easy->findData(v.Chart ? 0 : v.EasySel), 0));
  }
  p.Easy->setVisible(on && v.Easy);
  p.Easy->setAccessibleName(tr("%1: choice").arg(name));
  if (p.Separate) {
    p.Separate->setVisible(on && v.Separate);
    p.Separate->setChecked(v.Channel != 0);
    p.Separate->setAccessibleName(tr("%1: set left/right separately").arg(name));
  }
  if (p.Track) {
    p.Track->setVisible(on && v.Track);
    p.Track->setChecked(v.TrackList);
    p.Track->setAccessibleName(tr("%1: track another parameter").arg(name));
    // The destinations of the current voice, and the stored one when it
    // lies elsewhere.
    const QSignalBlocker block(p.TrackList);
    p.TrackList->clear();
    std::vector<int> dests = TrackDestinations(params, voice, p.ParamNum);
    // A parameter not in use shows no record.
    const int source = v.Pid >= 0 ? params[v.Pid].TrackSource : -1;
    if (v.TrackList && std::find(dests.begin(), dests.end(), source) == dests.end() &&
        source < SegParamCount(D->segment()))
      dests.push_back(source);
    for (int d : dests) p.TrackList->addItem(QString::fromStdString(DestinationName(params, d, voice)), d);
    p.TrackList->addItem(tr("Other..."), kOtherDestination);
    p.TrackList->setCurrentIndex(p.TrackList->findData(source));
    p.TrackList->setVisible(on && v.TrackList);
    p.TrackList->setAccessibleName(tr("%1: tracking destination").arg(name));
    p.TrackOptions->setVisible(on && v.TrackList);
    p.TrackOptions->setAccessibleName(tr("%1: tracking options").arg(name));
  }
  if (p.Modulation) {
    const int depth = ModulationOfPane(p.ParamNum);
    const bool modOn = ModulationOn(params, voice, depth);
    p.Modulation->setText(QString::fromStdString(ModulationButtonText(s % 3, modOn)));
    p.Modulation->setVisible(on && v.InUse);
    // The caption says "(ON)" only when on; the name says either.
    const QString depthName = QString::fromUtf8(D->paramName(depth));
    p.Modulation->setAccessibleName(modOn ? tr("%1 (ON)").arg(depthName) : tr("%1 (OFF)").arg(depthName));
  }
  for (QWidget* w : std::initializer_list<QWidget*>{p.Name, p.Chart, p.Left, p.Right, p.Easy, p.Separate, p.Track,
                                                    p.TrackList, p.TrackOptions, p.Modulation})
    if (w) w->setEnabled(v.Enabled);
}

// --- Edits -------------------------------------------------------------------------------

void ParamPage::easyChosen(int s, int easySel) {
  Pane& p = Panes[s];
  Param* params = D->segmentParams();
  if (!params) return;
  const std::vector<int> changed = ApplyEasyChoice(D->backgroundRow(), params, D->segment(), D->currentVoice(),
                                                   p.ParamNum, easySel, D->rules().Nodes);
  // One undo step for the choice and everything it set.
  for (size_t k = 0; k < changed.size(); ++k) D->propagateChange(changed[k], kWholeCurveChanged, k > 0);
  if (changed.empty()) {
    // Only the choice changed ("User-defined..." keeps the curve): what
    // follows the parameter, such as the waveform preview, hears it too.
    D->presetEdited();
    emit D->parameterEdited(PARAMID(D->currentVoice(), p.ParamNum));
  }
  rebind(true);
  if (easySel == 0 && p.Chart->isVisible()) p.Chart->setFocus();
}

void ParamPage::separateToggled(int s, bool on) {
  Pane& p = Panes[s];
  Param* params = D->segmentParams();
  if (!params) return;
  const int voice = D->currentVoice();
  const int first = PARAMID(voice, p.ParamNum);
  if (on) {
    // Separate pitches turn the beat into their difference: ask first.
    if (p.ParamNum == PN_PITCH &&
        !WarningBox::ask(D, strid::PitchLeftRight, QString(), &Cfg.DoNotShowPitchRight, false)) {
      p.Separate->setChecked(false);
      return;
    }
    SeparateChannels(D->backgroundRow(), params, D->prg().data.Segment[D->currentSegment()], voice, p.ParamNum);
    D->presetEdited();
  } else {
    JoinChannels(D->backgroundRow(), params, D->segment(), voice, p.ParamNum);
    D->propagateChange(first + 1, kWholeCurveChanged);
  }
  rebind(true);
}

void ParamPage::channelChosen(int s, int channel) {
  Pane& p = Panes[s];
  Param* params = D->segmentParams();
  if (!params) return;
  ShowChannel(params, D->currentVoice(), p.ParamNum, channel);
  rebind(true);
  if (p.Chart->isVisible()) p.Chart->setFocus();
}

int ParamPage::shownPid(int s) const {
  return PaneContents(D->backgroundRow(), D->segmentParams(), D->prg(), D->currentVoice(), Panes[s].ParamNum).Pid;
}

void ParamPage::trackToggled(int s, bool on) {
  Param* params = D->segmentParams();
  const int pid = shownPid(s);
  if (!params || pid < 0) return;
  if (on) {
    if (int rc = StartTracking(D->backgroundRow(), params, D->segment(), D->currentVoice(), pid)) {
      MessageBox::show(D, rc);
      rebind(false);
      return;
    }
    D->propagateChange(pid, kWholeCurveChanged);
  } else {
    // The curve keeps the values it followed last.
    params[pid].Tracking = 0;
    D->presetEdited();
  }
  rebind(true);
}

void ParamPage::destinationChosen(int s, int dest) {
  Param* params = D->segmentParams();
  const int pid = shownPid(s);
  if (!params || pid < 0) return;
  const int voice = D->currentVoice();
  if (dest == kOtherDestination) {
    // Any parameter of the segment, from the tree under the list; Cancel
    // shows the old destination again.
    TrackingDestinationDialog t(D, params, D->segment(), pid);
    QWidget* list = Panes[s].TrackList;
    t.move(list->mapToGlobal(QPoint(0, list->height())));
    if (t.run() != QDialog::Accepted) {
      rebind(false);
      return;
    }
    dest = t.destination();
  }
  const int rc = ChooseDestination(D->backgroundRow(), params, D->segment(), pid, dest);
  if (rc == strid::TrackingLoop) {
    const std::string self = DestinationName(params, pid, voice), other = DestinationName(params, dest, voice);
    MessageBox::show(D, strid::TrackingLoop, {self.c_str(), other.c_str()});
  } else if (rc != 0) {
    MessageBox::show(D, rc);
    D->presetEdited();
  } else {
    D->propagateChange(pid, kWholeCurveChanged);
  }
  // The list shows the destination in force again.
  rebind(true);
}

void ParamPage::trackOptions(int s) {
  Param* params = D->segmentParams();
  const int pid = shownPid(s);
  if (!params || pid < 0) return;
  if (params[pid].TrackSource >= SegParamCount(D->segment())) {
    // A deleted voice's parameter: no range to map.
    params[pid].Tracking = 0;
    MessageBox::show(D, strid::DeletedVoiceDestination);
    D->presetEdited();
    rebind(true);
    return;
  }
  TrackingOptionsDialog d(D, params, pid, D->backgroundRow());
  if (d.run() != QDialog::Accepted) return;
  D->propagateChange(pid, kWholeCurveChanged);
  rebind(true);
}

void ParamPage::noiseInsideHeadToggled(bool on) {
  D->prg().data.Segment[D->currentSegment()].NoiseInsideHead = on ? 1 : 0;
  D->presetEdited();
}

void ParamPage::openModulation(int position) {
  if (position < 0 || position >= PAGE_POSITIONS) return;
  const int base = ModulationOfPane(Panes[position].ParamNum);
  if (base < 0) return;
  ModulationWindow::open(D, base);
  // Its edits may have changed what the panes show (a tracked parameter,
  // the button's ON/OFF).
  rebind(true);
  if (Panes[position].Modulation->isVisible()) Panes[position].Modulation->setFocus();
}

void ParamPage::bindPane(int s, bool ranges) {
  Pane& p = Panes[s];
  Param* params = D->segmentParams();
  if (!p.Chart || !params) return;
  const int voice = D->currentVoice();
  const int n = p.ParamNum;
  const PaneView v = PaneContents(D->backgroundRow(), params, D->prg(), voice, n);
  int pid = PARAMID(voice, n);
  if (v.Channel == 2) ++pid;
  const int32_t length = D->segment().Length;
  const int pitch = PARAMID(voice, PN_PITCH);
  if (v.Derived) {
    // The beat is the difference of the two pitch channels.
    p.Pid = -1;
    p.Chart->bind(D->backgroundRow(), n, &params[pitch], &params[pitch + 1], true, length);
  } else {
    p.Pid = pid;
    p.Chart->bind(D->backgroundRow(), n, &params[pid], nullptr, v.ReadOnly, length);
  }
  if (ranges && p.Chart->recomputeRange()) p.Chart->recomputeLayout(true);
}

void ParamPage::rebind(bool ranges) {
  for (int s = 0; s < PAGE_POSITIONS; ++s) bindPane(s, ranges);
  updatePanes();
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
