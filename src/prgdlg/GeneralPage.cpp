// The General tab of the preset options dialog.
#include "prgdlg/GeneralPage.h"

#include <strings.h>

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <cstring>

#include "data/backgrounds/bglib.h"
#include "dialog/FileDialog.h"
#include "dialog/MessageBox.h"
#include "dialog/PresetNameDialog.h"
#include "dialog/VisualColorDialog.h"
#include "dialog/WarningBox.h"
#include "dialog/strids.h"
#include "dlggen/DynLayout.h"
#include "file/store.h"
#include "main/arith.h"
#include "main/preset.h"
#include "main/presetedit.h"
#include "main/strtab.h"
#include "main/text.h"
#include "prgdlg/ParamPage.h"
#include "prgdlg/PresetOptionsDialog.h"
#include "prgdlg/SegmentClipboard.h"
#include "reg/settings.h"

namespace {

constexpr int NAME_BYTES = NAMELEN - 1;
constexpr int DESCRIPTION_CHARS = 4086;  // what this dialog lets the description hold
constexpr int DESCRIPTION_BYTES = DESCLEN - 1;

QString SegmentId(const Segment& s) {
  char id[3] = {s.Name[0], s.Name[1], 0};
  return QString::fromUtf8(id);
}

void SetText(char* dest, size_t size, const QByteArray& text) {
  std::memset(dest, 0, size);
  std::memcpy(dest, text.constData(), std::min(size - 1, static_cast<size_t>(text.size())));
}

}  // namespace

GeneralPage::GeneralPage(PresetOptionsDialog* dialog) : QWidget(dialog), D(dialog) {
  setObjectName(QStringLiteral("generalPage"));
  L = new DynLayout(this, QSize(480, 246));

  auto label = [this](const QString& text, int x, int y, int cx, QWidget* buddy) {
    auto* l = new QLabel(text, this);
    L->addControl(l, x, y, cx, 8);
    if (buddy) l->setBuddy(buddy);
    return l;
  };
  Name = new QLineEdit(this);
  Name->setObjectName(QStringLiteral("presetName"));
  label(tr("&Name:"), 6, 8, 80, Name);
  L->addControl(Name, 90, 6, 928, 12);
  Description = new QPlainTextEdit(this);
  Description->setObjectName(QStringLiteral("presetDescription"));
  Description->setTabChangesFocus(true);
  Description->installEventFilter(this);
  label(tr("Descri&ption:"), 6, 24, 80, Description);
  L->addControl(Description, 90, 22, 928, 40);

  Background = new QComboBox(this);
  Background->setObjectName(QStringLiteral("background"));
  label(tr("&Background:"), 6, 69, 80, Background);
  L->addControl(Background, 90, 67, 772, 12);
  Colors = button(tr("Visual Color &Options..."), "visualColors", 868, 66, 150);
  Continue = new QCheckBox(tr("Continue playing after the end of all segments"), this);
  Continue->setObjectName(QStringLiteral("continuePlaying"));
  L->addControl(Continue, 90, 84, 928, 10);
  BuiltIn = new QCheckBox(tr("Built-in"), this);
  BuiltIn->setObjectName(QStringLiteral("builtIn"));
  L->addControl(BuiltIn, 90, 96, 200, 10);

  // Segments: two thirds of the width; voices: the third beside them.
  auto* segBox = new QGroupBox(tr("Segments"), this);
  L->addControl(segBox, 6, 110, 4087, 888);
  auto* voiceBox = new QGroupBox(tr("Voices"), this);
  L->addControl(voiceBox, 4099, 110, 3063, 888);
  Segments = new QTreeWidget(this);
  Segments->setObjectName(QStringLiteral("segmentList"));
  Segments->setAccessibleName(tr("Segments"));
  Segments->setColumnCount(3);
  Segments->setHeaderLabels({tr("ID"), tr("Length"), tr("Repeat")});
  Segments->setRootIsDecorated(false);
  Segments->setUniformRowHeights(true);
  Segments->setItemsExpandable(false);
  Segments->setAllColumnsShowFocus(true);
  // The columns start at 20 and 50 dialog units, as the list's tab stops.
  Segments->header()->setStretchLastSection(true);
  Segments->setColumnWidth(0, L->mapDialogRect(0, 0, 40, 0).width());
  Segments->setColumnWidth(1, L->mapDialogRect(0, 0, 60, 0).width());
  L->addControl(Segments, 14, 122, 4071, 840);
  AddSeg = button(tr("&Add"), "addSegment", 14, 966, 70);
  DelSeg = button(tr("Dele&te"), "deleteSegment", 88, 966, 70);
  SegUp = button(tr("Move &up"), "segmentUp", 162, 966, 70);
  SegDown = button(tr("Move do&wn"), "segmentDown", 236, 966, 70);
  Id = new QLineEdit(this);
  Id->setObjectName(QStringLiteral("segmentId"));
  Id->setMaxLength(1);
  label(tr("Segment &ID:"), 14, 986, 62, Id);
  L->addControl(Id, 78, 984, 22, 12);
  Length = new QLineEdit(this);
  Length->setObjectName(QStringLiteral("segmentLength"));
  Length->setToolTip(tr("Length of one pass of the segment in minutes"));
  label(tr("&Length:"), 108, 986, 40, Length);
  L->addControl(Length, 150, 984, 56, 12);
  Repeat = new QLineEdit(this);
  Repeat->setObjectName(QStringLiteral("segmentRepeat"));
  label(tr("&Repeat:"), 214, 986, 44, Repeat);
  L->addControl(Repeat, 260, 984, 44, 12);

  Voices = new QListWidget(this);
  Voices->setObjectName(QStringLiteral("voiceList"));
  Voices->setAccessibleName(tr("Voices"));
  L->addControl(Voices, 4107, 122, 3047, 840);
  AddVoice = button(tr("A&dd"), "addVoice", 4107, 966, 66);
  DelVoice = button(tr("D&elete"), "deleteVoice", 4177, 966, 66);

  Test = button(QString::fromUtf8(GetStr(strid::TestPresetButton)), "testButton", 6, 1004, 150);

  connect(Name, &QLineEdit::textEdited, this,
          [this](const QString& t) { SetText(D->prg().Name, NAMELEN, CutToBytes(t, NAME_BYTES).toUtf8()); });
  connect(Description, &QPlainTextEdit::textChanged, this, [this] {
    QString t = Description->toPlainText();
    if (t.size() > DESCRIPTION_CHARS) {
      t.truncate(DESCRIPTION_CHARS);
      QSignalBlocker block(Description);
      Description->setPlainText(t);
      Description->moveCursor(QTextCursor::End);
    }
    Preset& p = D->prg();
    if (EnsureDescription(p)) SetText(p.Description, DESCLEN, CutToBytes(t, DESCRIPTION_BYTES).toUtf8());
  });
  connect(BuiltIn, &QCheckBox::toggled, this, [this](bool on) { D->prg().BuiltIn = on ? 1 : 0; });
  connect(Continue, &QCheckBox::toggled, this, [this](bool on) {
    D->prg().data.ContinuePlaying = on ? 1 : 0;
    D->presetEdited();
  });
  connect(Background, &QComboBox::activated, this, &GeneralPage::backgroundChosen);
  connect(Colors, &QPushButton::clicked, this, &GeneralPage::visualColors);
  connect(Segments, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (item) D->selectSegment(Segments->indexOfTopLevelItem(item));
  });
  // Segments copied and pasted: the list's context menu, Ctrl+C and Ctrl+V.
  SegMenu = new QMenu(this);
  SegMenu->setObjectName(QStringLiteral("segmentMenu"));
  QAction* copy = SegMenu->addAction(tr("&Copy Segment"));
  copy->setObjectName(QStringLiteral("copySegment"));
  copy->setShortcut(QKeySequence::Copy);  // shown; the key reaches the event filter
  QAction* paste = SegMenu->addAction(tr("&Paste Segment After"));
  paste->setObjectName(QStringLiteral("pasteSegment"));
  paste->setShortcut(QKeySequence::Paste);
  connect(copy, &QAction::triggered, this, [this] { D->copySegment(D->currentSegment()); });
  connect(paste, &QAction::triggered, D, &PresetOptionsDialog::pasteSegment);
  Segments->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Segments, &QWidget::customContextMenuRequested, this, [this, paste](const QPoint& at) {
    paste->setEnabled(SegmentClipboard::offers());
    SegMenu->exec(Segments->viewport()->mapToGlobal(at));
  });
  Segments->installEventFilter(this);
  connect(Voices, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0) D->selectVoice(row);
  });
  connect(AddSeg, &QPushButton::clicked, this, &GeneralPage::addSegment);
  connect(DelSeg, &QPushButton::clicked, this, &GeneralPage::deleteSegment);
  connect(SegUp, &QPushButton::clicked, this, [this] { moveSegment(-1); });
  connect(SegDown, &QPushButton::clicked, this, [this] { moveSegment(1); });
  connect(Id, &QLineEdit::editingFinished, this, &GeneralPage::idEdited);
  connect(Length, &QLineEdit::editingFinished, this, &GeneralPage::lengthEdited);
  connect(Repeat, &QLineEdit::editingFinished, this, &GeneralPage::repeatEdited);
  connect(AddVoice, &QPushButton::clicked, this, &GeneralPage::addVoice);
  connect(DelVoice, &QPushButton::clicked, this, &GeneralPage::deleteVoice);
  connect(Test, &QPushButton::clicked, D, &PresetOptionsDialog::toggleTest);
}

QPushButton* GeneralPage::button(const QString& text, const char* name, int x, int y, int cx) {
  auto* b = new QPushButton(text, this);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  L->addControl(b, x, y, cx, 14);
  return b;
}

void GeneralPage::showEvent(QShowEvent* e) {
  if (!L->isRegistered()) L->registerLayout();
  QWidget::showEvent(e);
}

bool GeneralPage::eventFilter(QObject* watched, QEvent* e) {
  // The description shows its beginning when it gets the focus.
  if (watched == Description && e->type() == QEvent::FocusIn) {
    Description->moveCursor(QTextCursor::Start);
    Description->ensureCursorVisible();
  }
  // The segment list copies segments, not its rows' text.
  if (watched == Segments && e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->matches(QKeySequence::Copy)) {
      D->copySegment(D->currentSegment());
      return true;
    }
    if (k->matches(QKeySequence::Paste)) {
      D->pasteSegment();
      return true;
    }
  }
  return QWidget::eventFilter(watched, e);
}

// --- Filling ----------------------------------------------------------------------

void GeneralPage::fill() {
  const Preset& p = D->prg();
  Name->setText(QString::fromStdString(TextToUtf8(std::string_view(p.Name, strnlen(p.Name, NAMELEN)))));
  {
    QSignalBlocker block(Description);
    Description->setPlainText(QString::fromStdString(TextForBlock(p.Description ? p.Description : "")));
  }
  BuiltIn->setVisible(SetBuiltIns);
  BuiltIn->setEnabled(SetBuiltIns);
  {
    QSignalBlocker b1(BuiltIn), b2(Continue);
    BuiltIn->setChecked(p.BuiltIn != 0);
    Continue->setChecked(p.data.ContinuePlaying != 0);
  }
  fillBackgrounds();
  fillSegments();
  fillVoices();
  showSegment();
}

void GeneralPage::fillBackgrounds() {
  const Preset& p = D->prg();
  QSignalBlocker block(Background);
  Background->clear();
  int sel = -1;
  const int bg = p.data.Background;
  char file[NAMELEN + 1] = {};
  std::memcpy(file, p.data.BackgroundFile, NAMELEN);
  for (int i = 0; i < NumAmbix; ++i) {
    Background->addItem(QString::fromUtf8(AmbixInfo[i].Name), i);
    if (bg < AMBIX_NONE && AmbixInfo[i].Number == bg && strcasecmp(AmbixInfo[i].LibraryFile, file) == 0)
      sel = Background->count() - 1;
  }
  const QString title = QFileInfo(QString::fromUtf8(file)).fileName();
  Background->addItem(tr("None"), AMBIX_NONE);
  if (bg == AMBIX_NONE) sel = Background->count() - 1;
  Background->addItem(bg == AMBIX_OTHER ? tr("Other... (%1)").arg(title) : tr("Other..."), AMBIX_OTHER);
  if (bg == AMBIX_OTHER) sel = Background->count() - 1;
  Background->addItem(bg == AMBIX_LONG ? tr("Single long file... (%1)").arg(title) : tr("Single long file..."),
                      AMBIX_LONG);
  if (bg == AMBIX_LONG) sel = Background->count() - 1;
  if (sel < 0) sel = 0;
  Background->setCurrentIndex(sel);
  BackgroundRow = sel;
}

void GeneralPage::fillSegments() {
  const Preset& p = D->prg();
  QSignalBlocker block(Segments);
  Segments->clear();
  for (int s = 0; s < p.data.NumSegments; ++s) {
    auto* item = new QTreeWidgetItem(Segments);
    item->setText(0, SegmentId(p.data.Segment[s]));
    updateSegmentRow(s);
  }
  selectSegmentRow(D->currentSegment());
}

void GeneralPage::updateSegmentRow(int s) {
  QTreeWidgetItem* item = Segments->topLevelItem(s);
  if (!item) return;
  QStringList cols = QString::fromStdString(SegmentRow(D->prg().data.Segment[s])).split('\t');
  for (int c = 0; c < 3 && c < cols.size(); ++c) item->setText(c, cols[c]);
}

void GeneralPage::selectSegmentRow(int s) {
  QSignalBlocker block(Segments);
  if (QTreeWidgetItem* item = Segments->topLevelItem(s)) Segments->setCurrentItem(item);
}

void GeneralPage::fillVoices() {
  QSignalBlocker block(Voices);
  Voices->clear();
  for (int v = 0; v < D->segment().NumVoices; ++v) Voices->addItem(QString::fromStdString(VoiceRow(v)));
  Voices->setCurrentRow(D->currentVoice());
}

void GeneralPage::selectVoiceRow(int v) {
  QSignalBlocker block(Voices);
  Voices->setCurrentRow(v);
}

void GeneralPage::showSegment() {
  const Segment& s = D->segment();
  Id->setText(SegmentId(s));
  Length->setText(QString::fromUtf8(FormatNumber(s.Length, 2, 2, 2, false)));
  Repeat->setText(QString::number(s.Repeat));
  const int n = D->prg().data.NumSegments, cur = D->currentSegment();
  for (auto [b, on] : {std::pair{SegUp, cur > 0}, std::pair{SegDown, cur < n - 1}}) {
    // The focus moves on from a button that becomes unusable.
    if (!on && b->hasFocus()) b->nextInFocusChain()->setFocus(Qt::TabFocusReason);
    b->setEnabled(on);
  }
}

void GeneralPage::commitEdits() {
  if (Id->isModified()) idEdited();
  if (Length->isModified()) lengthEdited();
  if (Repeat->isModified()) repeatEdited();
}

void GeneralPage::setTesting(bool running) { Test->setText(QString::fromUtf8(GetStr(running ? 344 : 343))); }

// --- Segments ---------------------------------------------------------------------

void GeneralPage::addSegment() {
  int rc = AddSegment(D->prg(), D->currentSegment(), D->rules());
  if (rc) {
    MessageBox::show(this, rc, {MAXSEGMENTS});
    return;
  }
  D->segmentsChanged(D->prg().data.NumSegments - 1);
}

void GeneralPage::deleteSegment() {
  const QString id = SegmentId(D->segment());
  QString text = QString::fromStdString(FormatPrintf(GetStr(strid::AskDeleteSegment), id.toUtf8().constData()));
  if (MessageBox::showText(this, text, MessageBox::YesNo, 0, MessageBox::Question) != MessageBox::AnsYes) return;
  int sel = 0;
  int rc = DeleteSegment(D->prg(), D->currentSegment(), D->rules(), &sel);
  D->segmentsChanged(sel);
  if (rc) MessageBox::show(this, rc);
}

void GeneralPage::moveSegment(int delta) {
  int cur = D->currentSegment();
  if (MoveSegment(D->prg(), cur, delta, D->rules())) D->segmentsChanged(cur + delta);
}

void GeneralPage::idEdited() {
  Segment& s = D->prg().data.Segment[D->currentSegment()];
  char id[3];
  if (SegmentIdFromText(Id->text().toUtf8().toStdString(), id) && std::memcmp(id, s.Name, 3) != 0) {
    std::memcpy(s.Name, id, 3);
    updateSegmentRow(D->currentSegment());
    D->updateTabCaptions();
  }
  Id->setText(SegmentId(s));
}

void GeneralPage::lengthEdited() {
  Segment& s = D->prg().data.Segment[D->currentSegment()];
  int32_t v = SegmentLengthFromText(Length->text().toStdString(), s.Length);
  Length->setText(QString::fromUtf8(FormatNumber(v, 2, 2, 2, false)));
  if (v == s.Length) return;
  s.Length = v;
  updateSegmentRow(D->currentSegment());
  D->paramPage()->lengthChanged();
  D->presetEdited();
}

void GeneralPage::repeatEdited() {
  const int cur = D->currentSegment();
  Segment& s = D->prg().data.Segment[cur];
  int32_t v = SegmentRepeatFromText(Repeat->text().toStdString(), s.Repeat);
  Repeat->setText(QString::number(v));
  if (v == s.Repeat) return;
  SetSegmentRepeat(D->prg(), cur, v, D->rules());
  updateSegmentRow(cur);
  D->paramPage()->rebind(true);
  D->presetEdited();
}

// --- Voices ---------------------------------------------------------------------------

void GeneralPage::addVoice() {
  int rc = ::AddVoice(D->prg(), D->currentSegment(), D->currentVoice(), D->rules());
  if (rc) {
    MessageBox::show(this, rc, {MAXVOICES});
    return;
  }
  D->voicesChanged(D->segment().NumVoices - 1);
}

void GeneralPage::deleteVoice() {
  if (D->segment().NumVoices <= 1) {
    MessageBox::show(this, strid::LastVoice);
    return;
  }
  std::string voice = VoiceRow(D->currentVoice());
  std::string text =
      FormatPrintf(GetStr(strid::AskDeleteVoice), voice.c_str(), SegmentId(D->segment()).toUtf8().constData());
  if (MessageBox::showText(this, QString::fromStdString(text), MessageBox::YesNo, 0, MessageBox::Question) !=
      MessageBox::AnsYes)
    return;
  int sel = 0;
  if (int rc = DeleteVoice(D->prg(), D->currentSegment(), D->currentVoice(), D->rules(), &sel)) {
    MessageBox::show(this, rc);
    return;
  }
  D->voicesChanged(sel);
}

// --- Background and colours ---------------------------------------------------------------

void GeneralPage::backgroundChosen(int row) {
  if (row < 0) return;
  Preset& p = D->prg();
  const int choice = Background->itemData(row).toInt();
  const bool file = choice == AMBIX_OTHER || choice == AMBIX_LONG;
  QString stored, title;
  if (file) {
    QString path = FileDialog::openFile(this, 254, 240, QStringLiteral("wav"));
    if (path.isEmpty()) {
      Background->setCurrentIndex(BackgroundRow);
      return;
    }
    QFileInfo fi(path);
    // A file in the program's folder is kept by name, so the preset works
    // wherever the program and its files are moved together.
    QString folder = QString::fromStdString(ProgramFolder());
    stored = fi.absolutePath().compare(QFileInfo(folder).absoluteFilePath(), Qt::CaseInsensitive) == 0
                 ? fi.fileName()
                 : fi.absoluteFilePath();
    if (stored.toUtf8().size() > NAMELEN - 1) {
      MessageBox::show(this, strid::BackgroundFileUnopened, {stored.toStdString()});
      Background->setCurrentIndex(BackgroundRow);
      return;
    }
    title = fi.fileName();
  }
  // A file entry not chosen now reads plainly again.
  for (int r = 0; r < Background->count(); ++r) {
    int d = Background->itemData(r).toInt();
    if (d == AMBIX_OTHER && !(file && choice == AMBIX_OTHER)) Background->setItemText(r, tr("Other..."));
    if (d == AMBIX_LONG && !(file && choice == AMBIX_LONG)) Background->setItemText(r, tr("Single long file..."));
  }
  if (file)
    Background->setItemText(
        row, choice == AMBIX_OTHER ? tr("Other... (%1)").arg(title) : tr("Single long file... (%1)").arg(title));
  const ParamDefType oldRow = D->backgroundRow().Row;
  if (choice < AMBIX_NONE) {
    p.data.Background = AmbixInfo[choice].Number;
    SetText(p.data.BackgroundFile, NAMELEN, QByteArray(AmbixInfo[choice].LibraryFile));
  } else {
    p.data.Background = choice;
    SetText(p.data.BackgroundFile, NAMELEN, stored.toUtf8());
  }
  BackgroundRow = row;
  D->followBackground();
  RescaleBackgroundParam(p, oldRow, D->backgroundRow().Row, D->rules().Nodes);
  D->paramPage()->rebind(true);
  D->presetEdited();
}

void GeneralPage::visualColors() {
  if (Cfg.VisualOptions.Override)
    WarningBox::ask(this, strid::GlobalVisualOverride, QString(), &Cfg.DoNotShowGlobalVisOptWarning, true);
  if (VisualColorDialog::editColors(this, &D->prg().data.VisOpt)) D->presetEdited();
}
