// The dynamic dialog layout as a QLayout: controls are placed by template
// coordinates in dialog units (dynpos.h explains the encoding), and those
// whose coordinates use a fraction follow the dialog's size.
//
// A dialog adds its controls with addControl(), then calls registerLayout()
// once (this records the controls that stretch and takes one of the eight
// slots); the slot is given back when the layout is destroyed. Controls with
// only small coordinates keep their place. Main thread only.
#pragma once
#include <QLayout>
#include <QList>
#include <QRect>

#include "dlggen/dynpos.h"

class DynLayout : public QLayout {
  Q_OBJECT
 public:
  // `templateSize`: the dialog's client size in dialog units.
  DynLayout(QWidget* dialog, QSize templateSize);
  ~DynLayout() override;

  // Places `w` at template coordinates (dialog units, k x 1024 + d).
  void addControl(QWidget* w, int x, int y, int cx, int cy);
  // RegisterDynamicLayout: records every control whose position or size
  // uses a fraction and lays the dialog out for its current size.
  void registerLayout();
  bool isRegistered() const { return Registered; }

  // GetControlLayout: 1 when the control is not recorded, else 0 with its
  // entry.
  int controlLayout(QWidget* w, DynPos* out) const;
  // SetControlFixed / SetControlFractions: records the control when needed
  // (with its current rectangle and no fractions), replaces every value that
  // is not DYN_KEEP, and places the control for the current size.
  void setControlFixed(QWidget* w, int32_t x, int32_t y, int32_t cx, int32_t cy);
  void setControlFractions(QWidget* w, int kx, int ky, int kw, int kh);

  // A client size (pixels) the dialog is never smaller than, beyond its
  // template's: a dialog whose content is measured at run time (a text of
  // any length) asks for the room it needs.
  void setMinimumClientSize(QSize pixels);

  // Pixels of 1024 dialog units, horizontally and vertically.
  int unitsP() const;
  int unitsQ() const;
  // Dialog units to pixels.
  QRect mapDialogRect(int x, int y, int cx, int cy) const;

  // QLayout
  void addItem(QLayoutItem* item) override;
  int count() const override { return static_cast<int>(Items.size()); }
  QLayoutItem* itemAt(int index) const override;
  QLayoutItem* takeAt(int index) override;
  QSize sizeHint() const override;
  QSize minimumSize() const override;
  void setGeometry(const QRect& r) override;

 private:
  struct Item {
    QLayoutItem* LayoutItem;
    QRect Place;  // where an unrecorded control stays (client pixels)
  };
  QList<Item> Items;
  QSize TemplateSize;
  QSize MinimumClient;
  bool Registered = false;
  int BaseX = 0, BaseY = 0;  // dialog base units: average character width, character height

  void measureFont();
  DynPos* entryFor(QWidget* w) const;
  DynPos* recordNow(QWidget* w);
  void placeAll(const QRect& r);
};
