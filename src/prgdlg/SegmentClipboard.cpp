// Copied segments on the system clipboard.
#include "prgdlg/SegmentClipboard.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <cstring>
#include <vector>

#include "chart/CurveClipboard.h"
#include "file/fileio.h"
#include "file/fileread.h"
#include "file/filewrite.h"
#include "main/preset.h"
#include "presetjson/jsonfile.h"
#include "presetjson/presetjson.h"

namespace SegmentClipboard {

const char* const kMimeType = "application/x-sonavel-segment";

namespace {

// The first preset of a file image.
struct First {
  Preset* Out;
  bool Taken = false;
};

}  // namespace

void put(const Preset& p, int s) {
  if (s < 0 || s >= p.data.NumSegments || !SegParams(p, s)) return;
  const Segment& seg = p.data.Segment[s];
  // A preset of that one segment, with the name and background of its own.
  Preset t{};
  std::memcpy(t.Name, p.Name, sizeof t.Name);
  t.data.Background = p.data.Background;
  std::memcpy(t.data.BackgroundFile, p.data.BackgroundFile, sizeof t.data.BackgroundFile);
  t.data.VisOpt = p.data.VisOpt;
  t.data.ContinuePlaying = p.data.ContinuePlaying;
  t.data.NumSegments = 1;
  t.data.Segment[0] = seg;
  t.Loaded = 1;
  Param* params = CommitSegmentSlot(t, 0, seg.NumVoices);
  if (!params || !EnsureDescription(t)) {
    FreePreset(t);
    return;
  }
  std::memcpy(params, SegParams(p, s), sizeof(Param) * static_cast<size_t>(SegParamCount(seg)));
  std::vector<unsigned char> image;
  ByteDev dev = DevFromBuffer(image);
  const int rc = WritePresetFile(dev, 0, &t, 1);
  auto* data = new QMimeData;
  if (rc == 0)
    data->setData(QString::fromLatin1(kMimeType),
                  QByteArray(reinterpret_cast<const char*>(image.data()), qsizetype(image.size())));
  data->setText(QString::fromStdString(PresetToJson(t).dump(1, ' ', false, nlohmann::json::error_handler_t::replace)) +
                QLatin1Char('\n'));
  FreePreset(t);
  QApplication::clipboard()->setMimeData(data);
}

Result take(Preset* out, QString* error) {
  const QMimeData* data = QApplication::clipboard()->mimeData();
  if (!data) return CLIP_NONE;
  if (data->hasFormat(QString::fromLatin1(kMimeType))) {
    const QByteArray b = data->data(QString::fromLatin1(kMimeType));
    First first{out};
    const int rc = ReadPresetsFromMemory(
        b.constData(), size_t(b.size()),
        [](void* ctx, int, const Preset& p) {
          auto* f = static_cast<First*>(ctx);
          if (f->Taken) return;
          CopyPreset(*f->Out, p);
          f->Taken = true;
        },
        &first);
    if (rc == 0 && first.Taken) return CLIP_SEGMENT;
    if (first.Taken) FreePreset(*out);
  }
  if (!data->hasText() || !CurveClipboard::looksLikeJsonText(data->text())) return CLIP_NONE;
  nlohmann::json j;
  std::string why;
  if (ParseJsonText(data->text().toStdString(), &j, &why)) {
    Preset p{};
    if (PresetFromJson(j, p, &why)) {
      if (p.data.NumSegments == 1) {
        *out = p;
        return CLIP_SEGMENT;
      }
      why = "Segment: a copied segment is a preset of one segment; this one has " + std::to_string(p.data.NumSegments);
      FreePreset(p);
    }
  }
  if (error) *error = QString::fromStdString(JsonReason(why));
  return CLIP_BAD_TEXT;
}

bool offers() {
  const QMimeData* data = QApplication::clipboard()->mimeData();
  return data && (data->hasFormat(QString::fromLatin1(kMimeType)) ||
                  (data->hasText() && CurveClipboard::looksLikeJsonText(data->text())));
}

}  // namespace SegmentClipboard
