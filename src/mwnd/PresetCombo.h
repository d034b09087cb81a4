// The preset list of the toolbar: a drop-down list, sorted, whose entries
// carry their preset index and show an icon for schedules and for the
// selected preset with unsaved changes.
//
// Main thread only.
#pragma once
#include <QAbstractListModel>
#include <QComboBox>
#include <QStyledItemDelegate>

#include "mwnd/presetlist.h"

// Roles of the model beyond the display text.
constexpr int PresetIndexRole = Qt::UserRole;     // int: index into Program
constexpr int PresetIconRole = Qt::UserRole + 1;  // int: ListIcon

class PresetListModel : public QAbstractListModel {
  Q_OBJECT
 public:
  explicit PresetListModel(QObject* parent = nullptr);
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  const PresetList& list() const { return List; }
  void fill();  // from Program
  int insert(const std::string& text, int presetIndex);
  void removeAt(int pos);
  // The icons depend on the selection and its state: repaint them.
  void setSelectionState(int selProgram, int waveOptChanged);

 private:
  PresetList List;
  int SelProgram = -1;
  int WaveOptChanged = 0;
};

class PresetDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* p, const QStyleOptionViewItem& o, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& o, const QModelIndex& index) const override;
};

class PresetCombo : public QComboBox {
  Q_OBJECT
 public:
  explicit PresetCombo(QWidget* parent = nullptr);
  PresetListModel* presets() const { return Model; }
  // Preset index of the entry at pos, or -1.
  int presetAt(int pos) const;
  // Selects an entry without reporting it as the user's choice.
  void selectQuietly(int pos);

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  PresetListModel* Model;
};

// The list icons (12 x 12), by ListIcon.
QIcon ListIconImage(int icon);
