// The General tab of the preset options dialog (template 45): name,
// description, background, the visual colours, "Continue playing after the
// end of all segments", the segment list with its fields and buttons, the
// voice list of the current segment, and the test button.
//
// It edits the dialog's `prg` through the model's rules and tells the
// dialog what changed. Main thread only.
#pragma once
#include <QWidget>

class PresetOptionsDialog;
class DynLayout;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

class GeneralPage : public QWidget {
  Q_OBJECT
 public:
  explicit GeneralPage(PresetOptionsDialog* dialog);

  // Fills every control from the dialog's copy.
  void fill();
  void fillSegments();
  void fillVoices();
  // The fields and buttons of the current segment.
  void showSegment();
  void selectSegmentRow(int s);
  void selectVoiceRow(int v);
  void updateSegmentRow(int s);
  void setTesting(bool running);
  // Applies an ID, length or repeat typed but not yet confirmed (before the
  // segment changes and before OK).
  void commitEdits();

  QLineEdit* nameEdit() const { return Name; }
  QPlainTextEdit* descriptionEdit() const { return Description; }
  QCheckBox* builtInBox() const { return BuiltIn; }
  QCheckBox* continueBox() const { return Continue; }
  QComboBox* backgroundCombo() const { return Background; }
  QTreeWidget* segmentList() const { return Segments; }
  // The segment list's context menu (Copy Segment, Paste Segment After).
  QMenu* segmentMenu() const { return SegMenu; }
  QListWidget* voiceList() const { return Voices; }
  QLineEdit* idEdit() const { return Id; }
  QLineEdit* lengthEdit() const { return Length; }
  QLineEdit* repeatEdit() const { return Repeat; }
  QPushButton* testButton() const { return Test; }

  // The commands of the buttons.
  void addSegment();
  void deleteSegment();
  void moveSegment(int delta);
  void addVoice();
  void deleteVoice();
  void visualColors();
  void backgroundChosen(int row);

 protected:
  void showEvent(QShowEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void fillBackgrounds();
  void idEdited();
  void lengthEdited();
  void repeatEdited();
  QPushButton* button(const QString& text, const char* name, int x, int y, int cx);

  PresetOptionsDialog* D;
  DynLayout* L;
  QLineEdit* Name;
  QPlainTextEdit* Description;
  QCheckBox *BuiltIn, *Continue;
  QComboBox* Background;
  QTreeWidget* Segments;
  QListWidget* Voices;
  QLineEdit *Id, *Length, *Repeat;
  QPushButton *AddSeg, *DelSeg, *SegUp, *SegDown, *AddVoice, *DelVoice, *Colors, *Test;
  QMenu* SegMenu = nullptr;
  int BackgroundRow = -1;  // the entry chosen last (a cancelled file choice returns to it)
};
