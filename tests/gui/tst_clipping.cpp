// Nothing clipped: every dialog, page and message box of the program, at the
// default font and at one and a half times its size, gives each label,
// button, radio button and check box the room its text needs (the font's
// metrics of the text, word wrap included, plus the style's margins around
// it).
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabBar>
#include <QTextDocument>
#include <functional>

#include "cnfwiz/ConfigWizard.h"
#include "dialog/AboutDialog.h"
#include "dialog/AdvancedDialog.h"
#include "dialog/InternalErrorDialog.h"
#include "dialog/MessageBox.h"
#include "dialog/NodeDialog.h"
#include "dialog/PlayDelayDialog.h"
#include "dialog/PlayWavDialog.h"
#include "dialog/PresetNameDialog.h"
#include "dialog/SleepTimerDialog.h"
#include "dialog/SynchronizeDialog.h"
#include "dialog/VisualColorDialog.h"
#include "dialog/WarningBox.h"
#include "file/store.h"
#include "gui/guitest.h"
#include "main/paramrules.h"
#include "main/preset.h"
#include "main/strtab.h"
#include "mwnd/HelpWindow.h"
#include "prgdlg/ModulationWindow.h"
#include "prgdlg/TrackingDestinationDialog.h"
#include "prgdlg/TrackingOptionsDialog.h"
#include "reg/settings.h"

namespace {

// The room a control's text needs beyond its own rectangle, as
// "kind 'text' needs WxH in WxH".
QString Need(const QWidget* w, const QString& text, QSize need, QSize room) {
  return QStringLiteral("%1 %2 '%3' needs %4x%5 in %6x%7")
      .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName(), text.left(40))
      .arg(need.width())
      .arg(need.height())
      .arg(room.width())
      .arg(room.height());
}

// What a label's text takes: plain text by the font's metrics, rich text as
// the label lays it out (a document without margin), word wrap within the
// width it has.
QSize LabelTextSize(const QLabel* l, int width) {
  const QString text = l->text();
  const bool rich = l->textFormat() == Qt::RichText || (l->textFormat() == Qt::AutoText && Qt::mightBeRichText(text));
  if (rich) {
    QTextDocument doc;
    doc.setDocumentMargin(0);
    doc.setDefaultFont(l->font());
    doc.setHtml(text);
    doc.setTextWidth(l->wordWrap() ? width : -1);
    return QSize(qCeil(doc.idealWidth()), qCeil(doc.size().height()));
  }
  int flags = l->buddy() ? Qt::TextShowMnemonic : 0;
  if (!l->wordWrap()) return l->fontMetrics().size(flags, text);
  return l->fontMetrics().boundingRect(QRect(0, 0, width, 100000), flags | Qt::TextWordWrap, text).size();
}

// Every visible control of `top` whose text does not fit.
QStringList Clipped(QWidget* top) {
  QStringList out;
  QList<QWidget*> all = top->findChildren<QWidget*>();
  for (QWidget* w : all) {
    if (!w->isVisibleTo(top)) continue;
    const QStyle* st = w->style();
    if (auto* l = qobject_cast<QLabel*>(w)) {
      if (l->text().isEmpty()) continue;
      const int m = l->margin() + std::max(l->indent(), 0);
      const QRect room = l->contentsRect().adjusted(m, m, -m, -m);
      const QSize need = LabelTextSize(l, room.width());
      if (need.width() > room.width() || need.height() > room.height()) out << Need(w, l->text(), need, room.size());
    } else if (auto* b = qobject_cast<QPushButton*>(w)) {
      if (b->text().isEmpty()) continue;
      const int frame = 2 * st->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, b);
      QSize text = b->fontMetrics().size(Qt::TextShowMnemonic, b->text());
      if (!b->icon().isNull()) text.rwidth() += b->iconSize().width() + 4;
      const QSize need(text.width() + st->pixelMetric(QStyle::PM_ButtonMargin, nullptr, b) + frame,
                       text.height() + frame);
      if (need.width() > b->width() || need.height() > b->height()) out << Need(w, b->text(), need, b->size());
    } else if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) {
      auto* box = static_cast<QAbstractButton*>(w);
      if (box->text().isEmpty()) continue;
      const bool radio = qobject_cast<QRadioButton*>(w);
      const int indicator =
          st->pixelMetric(radio ? QStyle::PM_ExclusiveIndicatorWidth : QStyle::PM_IndicatorWidth, nullptr, box);
      const int spacing =
          st->pixelMetric(radio ? QStyle::PM_RadioButtonLabelSpacing : QStyle::PM_CheckBoxLabelSpacing, nullptr, box);
      const QSize text = box->fontMetrics().size(Qt::TextShowMnemonic, box->text());
      // The style's four pixels of label margin, as its size hint has them.
      const QSize need(indicator + spacing + 4 + text.width(), text.height());
      if (need.width() > box->width() || need.height() > box->height()) out << Need(w, box->text(), need, box->size());
    }
  }
  return out;
}

// The texts shown in message boxes: the string table's sentences.
QList<int> MessageIds() {
  QList<int> ids;
  for (const StrEntry& e : StringTable()) {
    const QString t = QString::fromUtf8(e.Text).trimmed();
    if (t.size() > 25 && t.contains(' ') && (t.endsWith('.') || t.endsWith('?') || t.endsWith('!'))) ids << e.Id;
  }
  return ids;
}

// A top-level window shown, checked and closed.
void CheckShown(QWidget* w, QStringList* found, const QString& what) {
  w->show();
  QVERIFY(QTest::qWaitForWindowExposed(w));
  QApplication::processEvents();
  for (const QString& c : Clipped(w)) *found << what + ": " + c;
}

}  // namespace

class ClippingTest : public QObject {
  Q_OBJECT
  MainWindow* W = nullptr;
  QFont Normal;

  // A preset whose pages show everything at once: the pitch with separate
  // channels, the volume tracking the first voice's beat.
  int presetIndex() {
    const int i = SelProgram;
    [&] { QCOMPARE(EnsureLoaded(i), 0); }();
    return i;
  }

 private Q_SLOTS:
  void initTestCase() {
    gui::FreshStore();
    W = gui::OpenMainWindow();
    Normal = QApplication::font();
    MessageBox::setAutoAnswer(false);
  }
  void init() { gui::TakeCheckFailures(); }
  void cleanup() { QCOMPARE(gui::TakeCheckFailures(), QStringList()); }
  void cleanupTestCase() {
    MessageBox::setAutoAnswer(true);
    QApplication::setFont(Normal);
    gui::CloseMainWindow(W);
  }

  void nothingIsClipped_data() {
    QTest::addColumn<double>("scale");
    QTest::newRow("default font") << 1.0;
    QTest::newRow("font x1.5") << 1.5;
  }

  void nothingIsClipped() {
    QFETCH(double, scale);
    QFont f = Normal;
    f.setPointSizeF(Normal.pointSizeF() * scale);
    QApplication::setFont(f);
    QStringList found;
    const int index = presetIndex();

    struct Case {
      const char* Name;
      std::function<void(QStringList*)> Run;
    };
    const Case cases[] = {
        {"main window",
         [&](QStringList* out) {
           MainWindow* m = gui::OpenMainWindow();
           for (const QString& c : Clipped(m)) *out << QStringLiteral("main window: ") + c;
           gui::CloseMainWindow(m);
         }},
        {"warning boxes",
         [&](QStringList* out) {
           for (int id : {264, 269, 283, 330, 332, 369, 1460}) {
             WarningBox b(nullptr, QString::fromUtf8(GetStr(id)), id != 330 && id != 332 && id != 1460);
             CheckShown(&b, out, QStringLiteral("warning %1").arg(id));
           }
           // Twice the longest text: wider lines, still on the screen.
           WarningBox b(nullptr, QString::fromUtf8(GetStr(1460)).repeated(2), false);
           CheckShown(&b, out, QStringLiteral("long warning"));
           if (!b.screen()->availableGeometry().contains(b.frameGeometry()))
             *out << QStringLiteral("long warning: %1x%2 beyond the screen").arg(b.width()).arg(b.height());
         }},
        {"message boxes",
         [&](QStringList* out) {
           for (int id : MessageIds()) {
             gui::OnModal([out, id](QWidget* box) {
               for (const QString& c : Clipped(box)) *out << QStringLiteral("message %1: ").arg(id) + c;
               box->close();
             });
             MessageBox::showText(nullptr, QString::fromUtf8(GetStr(id)), MessageBox::YesNoCancel);
           }
         }},
        {"small dialogs",
         [&](QStringList* out) {
           {
             AboutDialog d(nullptr);
             CheckShown(&d, out, "about");
           }
           {
             AdvancedOptionsDialog d(nullptr);
             CheckShown(&d, out, "advanced options");
           }
           {
             InternalErrorDialog d(nullptr, QStringLiteral("main 3.1.12: 1361, Err=0, signal=11, 0"),
                                   QString::fromStdString(FormatPrintf(GetStr(1452), GetStr(1455), 11)));
             CheckShown(&d, out, "internal error");
           }
           {
             int32_t delay = 1000;
             PlayDelayDialog d(nullptr, &delay);
             CheckShown(&d, out, "play with delay");
           }
           {
             PlayWavRequest r;
             PlayWavDialog d(nullptr, &r);
             CheckShown(&d, out, "play into wav");
           }
           {
             PresetNameDialog d(nullptr, QStringLiteral("Name"));
             CheckShown(&d, out, "preset name");
           }
           {
             SynchronizeDialog d(nullptr);
             CheckShown(&d, out, "synchronize");
           }
           {
             ListeningSettings listening;
             SleepTimerDialog d(nullptr, &listening);
             CheckShown(&d, out, "sleep timer");
           }
           for (bool global : {true, false}) {
             VisualColorDialog d(nullptr, Cfg.VisualOptions, global);
             CheckShown(&d, out, global ? "visual colors" : "visual colors of a preset");
           }
           {
             HelpWindow h(nullptr);
             CheckShown(&h, out, "help");
           }
         }},
        {"wizard pages",
         [&](QStringList* out) {
           ConfigWizard w(nullptr);
           for (int page = 0; page < ConfigWizard::PAGES; ++page) {
             CheckShown(&w, out, QStringLiteral("wizard page %1").arg(page));
             if (page < ConfigWizard::PAGES - 1) w.nextButton()->click();
           }
         }},
        {"preset editor",
         [&](QStringList* out) {
           // Loaded as the program loads it before its editor opens: the
           // main window opened above reloaded the store.
           QCOMPARE(EnsureLoaded(index), 0);
           PresetOptionsDialog d(nullptr, index, false);
           Param* params = d.segmentParams();
           Segment& seg = d.prg().data.Segment[0];
           SeparateChannels(BackgroundParamRow{}, params, seg, 0, PN_PITCH);
           StartTracking(BackgroundParamRow{}, params, seg, 0, PARAMID(0, PN_VOLUME));
           d.selectSegment(0);
           for (int tab = 0; tab < 6; ++tab) {
             d.tabs()->setCurrentIndex(tab);
             CheckShown(&d, out, QStringLiteral("editor tab %1").arg(tab));
           }
           d.tabs()->setCurrentIndex(1);
           {
             TrackingOptionsDialog t(&d, params, PARAMID(0, PN_VOLUME), d.backgroundRow());
             CheckShown(&t, out, "tracking options");
           }
           {
             TrackingDestinationDialog t(&d, params, seg, PID_VISFREQ);
             CheckShown(&t, out, "tracking destination");
           }
           {
             const Param& p = params[PARAMID(0, PN_BEAT)];
             ChartValueDef def;
             def.Min = ParamDef[PN_BEAT].Min;
             def.Max = ParamDef[PN_BEAT].Max;
             def.Digits = ParamDef[PN_BEAT].Digits;
             def.Shown = 2;
             NodeDialog n(&d, p, def, ParamDef[PN_BEAT].Unit, 0, seg.Length);
             CheckShown(&n, out, "sweep parameters");
           }
           for (int base : {PN_SNDMODDEPTH, PN_VISMODDEPTH}) {
             gui::OnModal([out](QWidget* m) {
               for (const QString& c : Clipped(m)) *out << QStringLiteral("modulation: ") + c;
               m->close();
             });
             ModulationWindow::open(&d, base);
           }
         }},
    };
    for (const Case& c : cases) {
      c.Run(&found);
      if (QTest::currentTestFailed()) return;
    }
    QApplication::setFont(Normal);
    QVERIFY2(found.isEmpty(), qPrintable(found.join('\n')));
  }
};

GUI_TEST(ClippingTest);
#include "tst_clipping.moc"
