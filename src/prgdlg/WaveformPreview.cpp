// The waveform preview: its controls, their updates and the drawing.
#include "prgdlg/WaveformPreview.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPolygonF>
#include <QSlider>
#include <QTabBar>
#include <algorithm>

#include "assert/check.h"
#include "chart/ParameterChart.h"
#include "chart/chartcolours.h"
#include "dlggen/DynLayout.h"
#include "main/preset.h"
#include "prgdlg/ParamPage.h"
#include "prgdlg/PresetOptionsDialog.h"

namespace {

constexpr int kWaveformTab = 2;
// Page positions of the Waveform and Waveform Filter charts.
constexpr int kWaveformChart = 3, kFilterChart = 4;

QString PlainText(QString s) { return s.remove(QLatin1Char('&')); }

QString Db(int level) { return QString::number(level / 327.67, 'f', 1); }

}  // namespace

// --- The displays ---------------------------------------------------------------

WaveformDisplay::WaveformDisplay(Kind kind, const WaveformPreviewData* values, QWidget* parent)
    : QFrame(parent), K(kind), Data(values) {
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setMinimumSize(80, 40);
  setFocusPolicy(Qt::NoFocus);
}

void WaveformDisplay::paintEvent(QPaintEvent* e) {
  QFrame::paintEvent(e);
  const QRect r = contentsRect();
  if (r.width() < 4 || r.height() < 4) return;
  QPainter p(this);
  // The palette's ground and text, the filtered bars blue where that reads.
  const ChartColours colours = ChartColoursFor(palette());
  p.fillRect(r, colours.Ground);
  p.setClipRect(r);
  const int left = r.left(), top = r.top(), height = r.height();
  if (K == WAVE) {
    const int h = height / 2, y0 = top + h, w = r.width() - 2;
    QPolygonF line;
    for (int k = 0; k < PREVIEW_SAMPLES; ++k)
      line << QPointF(left + 1 + k * w / PREVIEW_SAMPLES, y0 - (h - 2) * Data->Samples[k] / 32767.0);
    p.setPen(QPen(colours.Ink, 0));
    p.drawPolyline(line);
    return;
  }
  p.setPen(QPen(colours.Ink, 0));
  p.drawLine(left, top + height / 2, r.right(), top + height / 2);  // -50 dB
  const int bottom = r.bottom() + 1;
  for (int i = 0; i < PREVIEW_HARMONICS; ++i) {
    const int x = left + 7 + i * (r.width() - 8) / PREVIEW_HARMONICS;
    auto bar = [&](int dx, int level, const QColor& c) {
      const int y = top + int(int64_t(-level) * height / 32767) + 1;
      if (y < bottom) p.fillRect(x + dx, y, 3, bottom - y, c);
    };
    bar(0, Data->Unfiltered[i], colours.Ink);
    bar(3, Data->Filtered[i], colours.Filtered);
  }
}

// --- The preview -------------------------------------------------------------------

WaveformPreview::WaveformPreview(PresetOptionsDialog* dialog, ParamPage* page) : QWidget(page), D(dialog), Page(page) {
  setObjectName(QStringLiteral("waveformPreview"));
  Label = new QLabel(this);
  Label->setObjectName(QStringLiteral("previewLabel"));
  Slider = new QSlider(Qt::Horizontal, this);
  Slider->setObjectName(QStringLiteral("previewSlider"));
  Slider->setRange(0, 10000);
  Slider->setSingleStep(100);
  Slider->setPageStep(1000);
  Label->setBuddy(Slider);
  WaveLabel = new QLabel(tr("Waveform (unfiltered):"), this);
  SpectrumLabel = new QLabel(tr("Spectrum (unfiltered/filtered):"), this);
  Wave = new WaveformDisplay(WaveformDisplay::WAVE, &Data, this);
  Wave->setObjectName(QStringLiteral("waveDisplay"));
  Wave->setAccessibleName(PlainText(WaveLabel->text()).chopped(1));
  Spectrum = new WaveformDisplay(WaveformDisplay::SPECTRUM, &Data, this);
  Spectrum->setObjectName(QStringLiteral("spectrumDisplay"));
  Spectrum->setAccessibleName(PlainText(SpectrumLabel->text()).chopped(1));
  const QString scale[3] = {tr("0 dB"), tr("-50 dB"), tr("-100 dB")};
  for (int i = 0; i < 3; ++i) {
    Scale[i] = new QLabel(scale[i], this);
    Scale[i]->setAlignment(Qt::AlignRight | (i == 0 ? Qt::AlignTop : i == 1 ? Qt::AlignVCenter : Qt::AlignBottom));
  }

  auto* g = new QGridLayout(this);
  g->setContentsMargins(0, 0, 0, 0);
  g->setVerticalSpacing(2);
  g->addWidget(Label, 0, 0, 1, 4);
  g->addWidget(Slider, 1, 0, 1, 4);
  g->addWidget(WaveLabel, 2, 0);
  g->addWidget(SpectrumLabel, 2, 2, 1, 2);
  g->addWidget(Wave, 3, 0, 3, 1);
  g->addWidget(Scale[0], 3, 2);
  g->addWidget(Scale[1], 4, 2);
  g->addWidget(Scale[2], 5, 2);
  g->addWidget(Spectrum, 3, 3, 3, 1);
  g->setColumnStretch(0, 2);
  g->setColumnMinimumWidth(1, 8);
  g->setColumnStretch(3, 3);
  for (int row = 3; row < 6; ++row) g->setRowStretch(row, 1);

  // The page's bottom pane on the Waveform tab.
  if (auto* l = qobject_cast<DynLayout*>(page->layout())) l->addControl(this, 6, 4 * 1024 + 3, 1012, 3 * 1024 - 6);
  const Param* params = D->segmentParams();
  if (params) Picked = params[PARAMID(D->currentVoice(), PN_WAVEFORM)].ChannelMode == 2 ? 2 : 1;

  connect(Slider, &QSlider::valueChanged, this, &WaveformPreview::setPosition);
  connect(D, &PresetOptionsDialog::parameterEdited, this, &WaveformPreview::parameterEdited);
  connect(D, &PresetOptionsDialog::segmentSelected, this, &WaveformPreview::refresh);
  connect(D, &PresetOptionsDialog::voiceSelected, this, &WaveformPreview::refresh);
  connect(D->tabs(), &QTabBar::currentChanged, this, &WaveformPreview::refresh);
  for (int s : {kWaveformChart, kFilterChart})
    if (ParameterChart* c = page->chart(s))
      connect(c, &ParameterChart::nodeFocused, this, [this, s](int i) { nodeFocused(s, i); });
  refresh();
}

void WaveformPreview::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  refresh();
}

const Param* WaveformPreview::record(int paramNum) const {
  const Param* params = D->segmentParams();
  if (!params) return nullptr;
  return &params[PARAMID(D->currentVoice(), paramNum) + (Channel == 2 ? 1 : 0)];
}

void WaveformPreview::setPosition(int position) {
  if (!TVK_CHECK_AS(position >= 0 && position <= 10000, "wParam>=0 && wParam<=10000", position))
    position = std::clamp(position, 0, 10000);
  Data.Position = position;
  recompute(true, true);
}

void WaveformPreview::recompute(bool wave, bool spectrum) {
  const Param* w = record(PN_WAVEFORM);
  const Param* f = record(PN_FILTER);
  if (!w || !f) return;
  if (wave) PreviewWave(*w, Data.Position, &Data);
  // The spectrum is that of the wave on show.
  if (wave || spectrum) PreviewSpectrum(*f, Data.Position, &Data);
  if (wave) Wave->update();
  Spectrum->update();
  describe();
}

void WaveformPreview::setPickedChannel(int channel) {
  Picked = channel == 2 ? 2 : 1;
  refresh();
}

void WaveformPreview::refresh() {
  const Param* params = D->segmentParams();
  const bool onTab = D->displayTab() == kWaveformTab;
  setVisible(onTab && params);
  if (!params || !onTab) return;
  const int voice = D->currentVoice();
  const Param& w = params[PARAMID(voice, PN_WAVEFORM)];
  const Param& f = params[PARAMID(voice, PN_FILTER)];
  const PreviewChannel pc = PreviewChannelFor(w.ChannelMode, f.ChannelMode, Picked);
  Channel = pc.Channel;
  Label->setText(pc.Label == PREVIEW_LABEL_PLAIN  ? tr("Sh&ow waveform at position:")
                 : pc.Label == PREVIEW_LABEL_LEFT ? tr("Sh&ow waveform at position (left channel):")
                                                  : tr("Sh&ow waveform at position (right channel):"));
  Slider->setAccessibleName(PlainText(Label->text()).chopped(1));
  const PreviewVisibility v = PreviewVisibilityFor(w.EasySel, f.EasySel);
  for (QWidget* c : {static_cast<QWidget*>(Wave), static_cast<QWidget*>(Spectrum), static_cast<QWidget*>(WaveLabel),
                     static_cast<QWidget*>(SpectrumLabel), static_cast<QWidget*>(Scale[0]),
                     static_cast<QWidget*>(Scale[1]), static_cast<QWidget*>(Scale[2])})
    c->setVisible(v.Displays);
  Label->setVisible(v.Slider);
  Slider->setVisible(v.Slider);
  recompute(true, true);
}

void WaveformPreview::parameterEdited(int pid) {
  // Waveform and Waveform Filter may also change through the parameters
  // they track, and an Easy choice may join their channels: any edit of the
  // segment refreshes the preview while it is on show (a recomputation is a
  // few microseconds).
  if (isVisible() && pid >= 0) refresh();
}

void WaveformPreview::nodeFocused(int position, int index) {
  const ParameterChart* c = Page->chart(position);
  const Param* p = c ? c->parameter() : nullptr;
  if (!p || index < 0 || index >= CurveNodes(*p)) return;
  Slider->setValue(p->Node[index].SweepTime);
}

void WaveformPreview::describe() {
  // Screen readers hear the moment and the values the displays draw.
  const int32_t length = D->segment().Length;
  const double minutes = double(Data.Position) * length / 10000.0 / 100.0;
  Slider->setAccessibleDescription(tr("%1% of the segment, %2 minutes")
                                       .arg(QString::number(Data.Position / 100.0, 'f', 2))
                                       .arg(QString::number(minutes, 'f', 2)));
  const auto bits = static_cast<uint32_t>(Data.Waveform);
  Wave->setAccessibleDescription(tr("Shape %1, sharpness %2")
                                     .arg(QString::number((bits & 0xFFFF) / 10.0, 'f', 1))
                                     .arg(QString::number((bits >> 16) / 10.0, 'f', 1)));
  QStringList before, after;
  for (int i = 0; i < PREVIEW_HARMONICS; ++i) {
    before << Db(Data.Unfiltered[i]);
    after << Db(Data.Filtered[i]);
  }
  Spectrum->setAccessibleDescription(tr("Odd harmonics 1 to 31 in dB, unfiltered: %1; filtered: %2")
                                         .arg(before.join(QStringLiteral(", ")), after.join(QStringLiteral(", "))));
}
