// Copied curves on the system clipboard.
#include "chart/CurveClipboard.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include "presetjson/jsonfile.h"
#include "presetjson/presetjson.h"

namespace CurveClipboard {

const char* const kMimeType = "application/x-sonavel-curve";

bool looksLikeJsonText(const QString& text) {
  for (QChar c : text) {
    if (c.isSpace()) continue;
    return c == QLatin1Char('{');
  }
  return false;
}

void put(const CurveClip& c) {
  auto* data = new QMimeData;
  const std::string bytes = EncodeCurveClip(c);
  data->setData(QString::fromLatin1(kMimeType), QByteArray(bytes.data(), qsizetype(bytes.size())));
  data->setText(QString::fromStdString(CurveClipToJson(c).dump(2)) + QLatin1Char('\n'));
  QApplication::clipboard()->setMimeData(data);
}

Result take(const BackgroundParamRow& bg, CurveClip* out, QString* error) {
  const QMimeData* data = QApplication::clipboard()->mimeData();
  if (!data) return CLIP_NONE;
  if (data->hasFormat(QString::fromLatin1(kMimeType))) {
    const QByteArray b = data->data(QString::fromLatin1(kMimeType));
    if (DecodeCurveClip(std::string(b.constData(), size_t(b.size())), out)) return CLIP_CURVE;
  }
  if (!data->hasText() || !looksLikeJsonText(data->text())) return CLIP_NONE;
  nlohmann::json j;
  std::string why;
  if (ParseJsonText(data->text().toStdString(), &j, &why) && CurveClipFromJson(bg, j, out, &why)) return CLIP_CURVE;
  if (error) *error = QString::fromStdString(JsonReason(why));
  return CLIP_BAD_TEXT;
}

bool offers() {
  const QMimeData* data = QApplication::clipboard()->mimeData();
  return data &&
         (data->hasFormat(QString::fromLatin1(kMimeType)) || (data->hasText() && looksLikeJsonText(data->text())));
}

}  // namespace CurveClipboard
