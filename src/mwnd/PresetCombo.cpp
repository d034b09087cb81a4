// The preset list of the toolbar.
#include "mwnd/PresetCombo.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStylePainter>

#include "dialog/strids.h"
#include "main/model.h"
#include "main/strtab.h"

namespace {

constexpr int ICON_SIZE = 12;

int AverageCharWidth(const QFontMetrics& fm) {
  static const QString kAlphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  return (fm.horizontalAdvance(kAlphabet) / 26 + 1) / 2;
}

// Draws an entry: the icon at one average character width from the left,
// the text after the icon and one and a half widths more.
void DrawEntry(QPainter* p, const QRect& r, const QFont& font, const QString& text, int icon, const QColor& fg) {
  QFontMetrics fm(font);
  int cw = AverageCharWidth(fm);
  if (icon != ICON_NONE) {
    QRect ir(r.x() + cw, r.y() + (r.height() - ICON_SIZE) / 2, ICON_SIZE, ICON_SIZE);
    ListIconImage(icon).paint(p, ir);
  }
  QRect tr = r.adjusted(ICON_SIZE + cw * 3 / 2, 0, 0, 0);
  p->setPen(fg);
  p->setFont(font);
  p->drawText(tr, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
              fm.elidedText(text, Qt::ElideRight, tr.width()));
}

}  // namespace

QIcon ListIconImage(int icon) {
  static const QIcon kIcons[3] = {QIcon(QStringLiteral(":/icons/schedule.svg")),
                                  QIcon(QStringLiteral(":/icons/modified.svg")),
                                  QIcon(QStringLiteral(":/icons/schedule-modified.svg"))};
  return icon >= 0 && icon < 3 ? kIcons[icon] : QIcon();
}

PresetListModel::PresetListModel(QObject* parent) : QAbstractListModel(parent) {}

int PresetListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(List.Entries.size());
}

QVariant PresetListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return QVariant();
  const ListEntry& e = List.Entries[static_cast<size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: return QString::fromUtf8(e.Text.c_str());
    case PresetIndexRole: return e.Index;
    case PresetIconRole: {
      bool schedule = e.Index >= 0 && e.Index < NumPrograms && Program[e.Index].IsSchedule;
      return static_cast<int>(ListIconFor(schedule, e.Index == SelProgram, WaveOptChanged));
    }
    default: return QVariant();
  }
}

void PresetListModel::fill() {
  beginResetModel();
  FillPresetList(List);
  endResetModel();
}

int PresetListModel::insert(const std::string& text, int presetIndex) {
  PresetList probe = List;
  int pos = ListInsert(probe, text, presetIndex);
  beginInsertRows(QModelIndex(), pos, pos);
  List = std::move(probe);
  endInsertRows();
  return pos;
}

void PresetListModel::removeAt(int pos) {
  if (pos < 0 || pos >= rowCount()) return;
  beginRemoveRows(QModelIndex(), pos, pos);
  ListRemoveAt(List, pos);
  endRemoveRows();
}

void PresetListModel::setSelectionState(int selProgram, int waveOptChanged) {
  if (selProgram == SelProgram && waveOptChanged == WaveOptChanged) return;
  SelProgram = selProgram;
  WaveOptChanged = waveOptChanged;
  if (rowCount() > 0) emit dataChanged(index(0), index(rowCount() - 1), {PresetIconRole});
}

void PresetDelegate::paint(QPainter* p, const QStyleOptionViewItem& o, const QModelIndex& index) const {
  bool selected = o.state & QStyle::State_Selected;
  p->fillRect(o.rect, o.palette.brush(selected ? QPalette::Highlight : QPalette::Base));
  DrawEntry(p, o.rect, o.font, index.data(Qt::DisplayRole).toString(), index.data(PresetIconRole).toInt(),
            o.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
  if (o.state & QStyle::State_HasFocus) {
    QStyleOptionFocusRect f;
    f.QStyleOption::operator=(o);
    f.backgroundColor = o.palette.color(selected ? QPalette::Highlight : QPalette::Base);
    QApplication::style()->drawPrimitive(QStyle::PE_FrameFocusRect, &f, p);
  }
}

QSize PresetDelegate::sizeHint(const QStyleOptionViewItem& o, const QModelIndex&) const {
  QFontMetrics fm(o.font);
  return QSize(200, std::max(ICON_SIZE + 2, fm.lineSpacing() + 2));
}

PresetCombo::PresetCombo(QWidget* parent) : QComboBox(parent), Model(new PresetListModel(this)) {
  setObjectName(QStringLiteral("presetList"));
  setModel(Model);
  setItemDelegate(new PresetDelegate(this));
  setMaxVisibleItems(12);
  QString tip = QString::fromUtf8(GetStr(strid::PresetNameLabel));
  setToolTip(tip);
  setAccessibleName(tip);
  setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
}

int PresetCombo::presetAt(int pos) const {
  return pos >= 0 && pos < count() ? itemData(pos, PresetIndexRole).toInt() : -1;
}

void PresetCombo::selectQuietly(int pos) {
  QSignalBlocker block(this);
  setCurrentIndex(pos);
  update();
}

void PresetCombo::paintEvent(QPaintEvent*) {
  QStylePainter p(this);
  QStyleOptionComboBox o;
  initStyleOption(&o);
  o.currentText.clear();
  o.currentIcon = QIcon();
  p.drawComplexControl(QStyle::CC_ComboBox, o);
  QRect edit = style()->subControlRect(QStyle::CC_ComboBox, &o, QStyle::SC_ComboBoxEditField, this);
  int pos = currentIndex();
  if (pos >= 0)
    DrawEntry(&p, edit, font(), itemText(pos), itemData(pos, PresetIconRole).toInt(),
              palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  if (hasFocus() && !isEditable()) {
    QStyleOptionFocusRect f;
    f.initFrom(this);
    f.rect = edit;
    p.drawPrimitive(QStyle::PE_FrameFocusRect, f);
  }
}
