// Visual Color Options (dialog 55): the list of flashing colours of a
// `VisOpt` record, either the global one (with "Override &visual color
// options of individual presets", which enables the list) or a preset's own
// (the check box hidden, the controls moved up). Colours are picked with the
// colour dialog and its 16 custom colours ("CustColorTable"). OK copies the
// record back; Cancel and the close box keep it.
//
// Tests pre-answer the colour dialog with setNextColor (an invalid colour
// is a cancelled choice). Main thread only.
#pragma once
#include <QColor>

#include "dlggen/DynDialog.h"
#include "main/model.h"

class QCheckBox;
class QListWidget;

class VisualColorDialog : public DynDialog {
  Q_OBJECT
 public:
  VisualColorDialog(QWidget* owner, const VisOpt& record, bool global);

  QCheckBox* overrideBox() const { return Override; }
  QListWidget* colorList() const { return List; }
  QPushButton* modifyButton() const { return Modify; }
  QPushButton* addColorButton() const { return Add; }
  QPushButton* deleteButton() const { return Delete; }
  QPushButton* upButton() const { return Up; }
  QPushButton* downButton() const { return Down; }
  QPushButton* okButton() const { return Ok; }
  const VisOpt& record() const { return Record; }
  void accept() override;

  // VisualColorOptions: edits *record (the global record when it is
  // Cfg.VisualOptions); true on OK.
  static bool editColors(QWidget* owner, VisOpt* record);

  static void setNextColor(const QColor& c);
  static void clearNextColors();
  // Colour records (0x00BBGGRR) as colours.
  static QColor toColor(uint32_t colorref);
  static uint32_t toColorRef(const QColor& c);

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void fillList(int select);
  void updateButtons();
  QColor pickColor(const QColor& initial);
  void modifyColor();
  void addColor();
  void deleteColor();
  void moveColor(int delta);

  VisOpt Record;
  bool Global;
  QCheckBox* Override = nullptr;
  QListWidget* List = nullptr;
  QPushButton *Modify = nullptr, *Add = nullptr, *Delete = nullptr, *Up = nullptr, *Down = nullptr, *Ok = nullptr;
};

// VisualColorOptions (the main window's hook): the dialog on *record.
bool VisualColorOptions(QWidget* owner, VisOpt* record);
