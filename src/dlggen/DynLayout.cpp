// The dynamic dialog layout.
#include "dlggen/DynLayout.h"

#include <QFontMetrics>
#include <QWidget>
#include <QWidgetItem>

#include "assert/check.h"

DynLayout::DynLayout(QWidget* dialog, QSize templateSize) : QLayout(dialog), TemplateSize(templateSize) {
  setContentsMargins(0, 0, 0, 0);
  measureFont();
}

DynLayout::~DynLayout() {
  if (Registered) UnregisterDynSlot(this);
  while (!Items.isEmpty()) delete Items.takeFirst().LayoutItem;
}

void DynLayout::measureFont() {
  // The dialog's own font (the desktop's, or the one the user chose): its
  // average character width over the alphabet and its height are the base
  // units, as a dialog font's are.
  QFontMetrics fm(parentWidget() ? parentWidget()->font() : QFont());
  static const QString kAlphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  BaseX = (fm.horizontalAdvance(kAlphabet) / 26 + 1) / 2;
  BaseY = fm.height();
  if (BaseX <= 0) BaseX = 6;
  if (BaseY <= 0) BaseY = 13;
}

QRect DynLayout::mapDialogRect(int x, int y, int cx, int cy) const {
  auto mx = [this](int v) { return static_cast<int>(int64_t(v) * BaseX / 4); };
  auto my = [this](int v) { return static_cast<int>(int64_t(v) * BaseY / 8); };
  return QRect(mx(x), my(y), mx(cx), my(cy));
}

int DynLayout::unitsP() const { return mapDialogRect(0, 0, 1024, 1024).width(); }
int DynLayout::unitsQ() const { return mapDialogRect(0, 0, 1024, 1024).height(); }

void DynLayout::addControl(QWidget* w, int x, int y, int cx, int cy) {
  addChildWidget(w);
  Items.append({new QWidgetItem(w), mapDialogRect(x, y, cx, cy)});
  invalidate();
}

void DynLayout::addItem(QLayoutItem* item) { Items.append({item, QRect()}); }

QLayoutItem* DynLayout::itemAt(int index) const {
  return index >= 0 && index < Items.size() ? Items[index].LayoutItem : nullptr;
}

QLayoutItem* DynLayout::takeAt(int index) {
  if (index < 0 || index >= Items.size()) return nullptr;
  QLayoutItem* it = Items.takeAt(index).LayoutItem;
  if (Registered && it->widget()) {
    std::vector<DynPos>& v = DynSlotEntries(FindDynSlot(this));
    std::erase_if(v, [&](const DynPos& e) { return e.Control == it->widget(); });
  }
  return it;
}

QSize DynLayout::sizeHint() const {
  QRect r = mapDialogRect(0, 0, TemplateSize.width(), TemplateSize.height());
  return r.size().expandedTo(MinimumClient);
}

void DynLayout::setMinimumClientSize(QSize pixels) {
  MinimumClient = pixels;
  invalidate();
}

// The template's size is the smallest at which every control still fits.
QSize DynLayout::minimumSize() const { return sizeHint(); }

void DynLayout::registerLayout() {
  if (Registered) return;
  int slot = RegisterDynSlot(this);
  Registered = true;
  int P = unitsP(), Q = unitsQ();
  for (const Item& it : Items) {
    QWidget* w = it.LayoutItem->widget();
    if (!w) continue;
    DynRect r{it.Place.x(), it.Place.y(), it.Place.width(), it.Place.height()};
    if (NeedsRecording(r, P, Q)) AddDynEntry(slot, RecordControl(w, r, P, Q));
  }
  if (parentWidget()) placeAll(contentsRect().isValid() ? contentsRect() : parentWidget()->rect());
}

DynPos* DynLayout::entryFor(QWidget* w) const {
  if (!Registered) return nullptr;
  int slot = FindDynSlot(this);
  return slot < 0 ? nullptr : FindDynEntry(slot, w);
}

int DynLayout::controlLayout(QWidget* w, DynPos* out) const {
  DynPos* e = entryFor(w);
  if (!e) return 1;
  *out = *e;
  return 0;
}

DynPos* DynLayout::recordNow(QWidget* w) {
  if (!Registered) registerLayout();
  if (DynPos* e = entryFor(w)) return e;
  int slot = FindDynSlot(this);
  if (slot < 0) return nullptr;
  DynPos e;
  e.Control = w;
  QRect g = w->geometry();
  e.Fixed = DynRect{g.x(), g.y(), g.width(), g.height()};
  if (!AddDynEntry(slot, e)) return nullptr;
  return FindDynEntry(slot, w);
}

void DynLayout::setControlFixed(QWidget* w, int32_t x, int32_t y, int32_t cx, int32_t cy) {
  DynPos* e = recordNow(w);
  if (!e) return;
  if (x != DYN_KEEP) e->Fixed.X = x;
  if (y != DYN_KEEP) e->Fixed.Y = y;
  if (cx != DYN_KEEP) e->Fixed.W = cx;
  if (cy != DYN_KEEP) e->Fixed.H = cy;
  placeAll(geometry().isValid() ? geometry() : parentWidget()->rect());
}

void DynLayout::setControlFractions(QWidget* w, int kx, int ky, int kw, int kh) {
  DynPos* e = recordNow(w);
  if (!e) return;
  if (kx != DYN_KEEP) e->FrX = RelValue(kx);
  if (ky != DYN_KEEP) e->FrY = RelValue(ky);
  if (kw != DYN_KEEP) e->FrW = RelValue(kw);
  if (kh != DYN_KEEP) e->FrH = RelValue(kh);
  placeAll(geometry().isValid() ? geometry() : parentWidget()->rect());
}

void DynLayout::setGeometry(const QRect& r) {
  QLayout::setGeometry(r);
  placeAll(r);
}

void DynLayout::placeAll(const QRect& r) {
  for (const Item& it : Items) {
    QWidget* w = it.LayoutItem->widget();
    QRect g = it.Place;
    if (const DynPos* e = w ? entryFor(w) : nullptr) {
      DynRect d = LayoutDynPos(*e, r.width(), r.height());
      g = QRect(d.X, d.Y, d.W, d.H);
    }
    it.LayoutItem->setGeometry(g.translated(r.topLeft()));
  }
}
