// Visual Color Options.
#include "dialog/VisualColorDialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QEvent>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <deque>
#include <utility>

#include "dialog/MessageBox.h"
#include "dialog/strids.h"
#include "dlggen/modal.h"
#include "reg/settings.h"

namespace {

std::deque<QColor> gNextColors;

constexpr int ColorRole = Qt::UserRole + 1;

// A colour's row: its number, then a swatch; a selected row is hatched over
// the swatch and its number drawn in the highlighted text colour.
class SwatchDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& o, const QModelIndex&) const override {
    return QSize(o.fontMetrics.horizontalAdvance(QStringLiteral("999")) * 3, o.fontMetrics.height() + 2);
  }
  void paint(QPainter* p, const QStyleOptionViewItem& o, const QModelIndex& index) const override {
    const bool selected = o.state & QStyle::State_Selected;
    const QPalette& pal = o.palette;
    const int numberW = o.fontMetrics.horizontalAdvance(QStringLiteral("999")) + 4;
    QRect r = o.rect;
    p->save();
    p->fillRect(r, pal.color(QPalette::Base));
    QRect num(r.left(), r.top(), numberW, r.height());
    if (selected) p->fillRect(num, pal.color(QPalette::Highlight));
    p->setPen(pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
    p->drawText(num.adjusted(0, 0, -4, 0), Qt::AlignRight | Qt::AlignVCenter, QString::number(index.row() + 1));
    QRect swatch(r.left() + numberW, r.top(), r.width() - numberW, r.height());
    swatch.adjust(1, 1, -1, -1);
    QColor c = index.data(ColorRole).value<QColor>();
    p->fillRect(swatch, c);
    if (selected) {
      QBrush hatch(c.lightness() > 128 ? Qt::black : Qt::white, Qt::DiagCrossPattern);
      p->fillRect(swatch, hatch);
    }
    if (o.state & QStyle::State_HasFocus) {
      p->setPen(QPen(pal.color(QPalette::Text), 1, Qt::DotLine));
      p->drawRect(r.adjusted(0, 0, -1, -1));
    }
    p->restore();
  }
};

}  // namespace

QColor VisualColorDialog::toColor(uint32_t c) {
  return QColor(int(c & 0xFFu), int((c >> 8) & 0xFFu), int((c >> 16) & 0xFFu));
}

uint32_t VisualColorDialog::toColorRef(const QColor& c) {
  return uint32_t(c.red()) | uint32_t(c.green()) << 8 | uint32_t(c.blue()) << 16;
}

void VisualColorDialog::setNextColor(const QColor& c) { gNextColors.push_back(c); }
void VisualColorDialog::clearNextColors() { gNextColors.clear(); }

VisualColorDialog::VisualColorDialog(QWidget* owner, const VisOpt& record, bool global)
    : DynDialog(owner, QSize(270, global ? 150 : 135), QStringLiteral("visual_colors")),
      Record(record),
      Global(global) {
  setObjectName(QStringLiteral("visualColorDialog"));
  setWindowTitle(tr("Visual Color Options"));
  if (Record.NumColors == 0 || Record.NumColors > MAXCOLORS) {
    // Never set: the default pair, blue and green.
    Record.NumColors = 2;
    Record.Colors[0] = 0x00FF0000;
    Record.Colors[1] = 0x0000FF00;
  }
  DynLayout* l = dynLayout();
  // A preset's record has no override: everything below moves up by the
  // distance between the first two controls.
  const int up = global ? 0 : 15;
  Override = new QCheckBox(tr("Override &visual color options of individual presets"), this);
  Override->setObjectName(QStringLiteral("override"));
  Override->setChecked(Record.Override != 0);
  Override->setVisible(global);
  Override->setEnabled(global);
  l->addControl(Override, 7, 7, 256, 10);
  List = new QListWidget(this);
  List->setObjectName(QStringLiteral("colorList"));
  List->setAccessibleName(tr("Colors"));
  List->setItemDelegate(new SwatchDelegate(List));
  List->installEventFilter(this);
  l->addControl(List, 7, 22 - up, 150, 1024 - 48 + up);
  auto button = [&](const QString& text, const char* name, int y) {
    QPushButton* b = DynDialog::addButton(text, 164, y - up, 100, 14);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
  };
  Modify = button(tr("&Modify Color"), "modifyColor", 22);
  Add = button(tr("&Add"), "addColor", 40);
  Delete = button(tr("Dele&te"), "deleteColor", 58);
  Up = button(tr("Move &up"), "colorUp", 76);
  Down = button(tr("Move do&wn"), "colorDown", 94);
  Ok = addOkCancelHelp().Ok;
  connect(Modify, &QPushButton::clicked, this, &VisualColorDialog::modifyColor);
  connect(Add, &QPushButton::clicked, this, &VisualColorDialog::addColor);
  connect(Delete, &QPushButton::clicked, this, &VisualColorDialog::deleteColor);
  connect(Up, &QPushButton::clicked, this, [this] { moveColor(-1); });
  connect(Down, &QPushButton::clicked, this, [this] { moveColor(1); });
  connect(List, &QListWidget::itemDoubleClicked, this, &VisualColorDialog::modifyColor);
  connect(List, &QListWidget::currentRowChanged, this, &VisualColorDialog::updateButtons);
  connect(Override, &QCheckBox::toggled, this, &VisualColorDialog::updateButtons);
  fillList(0);
}

void VisualColorDialog::fillList(int select) {
  QSignalBlocker block(List);
  List->clear();
  for (int i = 0; i < Record.NumColors; ++i) {
    auto* item = new QListWidgetItem(QString::number(i + 1), List);
    item->setData(ColorRole, toColor(Record.Colors[i]));
    item->setData(Qt::AccessibleTextRole, tr("Color %1: %2").arg(i + 1).arg(toColor(Record.Colors[i]).name()));
  }
  List->setCurrentRow(std::clamp(select, 0, Record.NumColors - 1));
  updateButtons();
}

void VisualColorDialog::updateButtons() {
  // The global list matters only while it overrides the presets' colours.
  const bool on = !Global || Override->isChecked();
  const int row = List->currentRow(), n = Record.NumColors;
  List->setEnabled(on);
  Modify->setEnabled(on);
  Add->setEnabled(on);
  Delete->setEnabled(on);
  Up->setEnabled(on && row > 0);
  Down->setEnabled(on && row >= 0 && row < n - 1);
}

bool VisualColorDialog::eventFilter(QObject* watched, QEvent* e) {
  // Enter modifies the colour while the list has the focus.
  if (watched == List && e->type() == QEvent::FocusIn) Modify->setDefault(true);
  if (watched == List && e->type() == QEvent::FocusOut) Ok->setDefault(true);
  return DynDialog::eventFilter(watched, e);
}

QColor VisualColorDialog::pickColor(const QColor& initial) {
  if (!gNextColors.empty()) {
    QColor c = gNextColors.front();
    gNextColors.pop_front();
    return c;
  }
  for (int i = 0; i < 16; ++i) QColorDialog::setCustomColor(i, toColor(Cfg.CustColorTable[i]));
  QColorDialog d(initial, this);
  d.setObjectName(QStringLiteral("colorDialog"));
  // A desktop's own picker would ignore the custom colours.
  d.setOption(QColorDialog::DontUseNativeDialog);
  int r;
  {
    ModalScope scope;
    r = d.exec();
  }
  for (int i = 0; i < 16; ++i) Cfg.CustColorTable[i] = toColorRef(QColorDialog::customColor(i));
  return r == QDialog::Accepted ? d.selectedColor() : QColor();
}

void VisualColorDialog::modifyColor() {
  int row = List->currentRow();
  if (row < 0 || row >= Record.NumColors) return;
  QColor c = pickColor(toColor(Record.Colors[row]));
  if (!c.isValid()) return;
  Record.Colors[row] = toColorRef(c);
  fillList(row);
}

void VisualColorDialog::addColor() {
  if (Record.NumColors >= MAXCOLORS) {
    MessageBox::show(this, strid::TooManyColors, {MAXCOLORS});
    return;
  }
  int row = List->currentRow();
  QColor c = pickColor(row >= 0 ? toColor(Record.Colors[row]) : QColor(Qt::white));
  if (!c.isValid()) return;
  Record.Colors[Record.NumColors] = toColorRef(c);
  ++Record.NumColors;
  fillList(Record.NumColors - 1);
}

void VisualColorDialog::deleteColor() {
  int row = List->currentRow();
  if (Record.NumColors <= 1 || row < 0) {
    MessageBox::show(this, strid::LastColor);
    return;
  }
  for (int i = row; i + 1 < Record.NumColors; ++i) Record.Colors[i] = Record.Colors[i + 1];
  --Record.NumColors;
  Record.Colors[Record.NumColors] = 0;
  fillList(std::min(row, Record.NumColors - 1));
}

void VisualColorDialog::moveColor(int delta) {
  int row = List->currentRow(), to = row + delta;
  if (row < 0 || to < 0 || to >= Record.NumColors) return;
  std::swap(Record.Colors[row], Record.Colors[to]);
  fillList(to);
}

void VisualColorDialog::accept() {
  if (Global) Record.Override = Override->isChecked() ? 1 : 0;
  QDialog::accept();
}

bool VisualColorDialog::editColors(QWidget* owner, VisOpt* record) {
  VisualColorDialog d(owner, *record, record == &Cfg.VisualOptions);
  if (d.run() != QDialog::Accepted) return false;
  *record = d.record();
  return true;
}

bool VisualColorOptions(QWidget* owner, VisOpt* record) { return VisualColorDialog::editColors(owner, record); }
