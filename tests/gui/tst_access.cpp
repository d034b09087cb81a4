// What screen readers are told, through the accessible interfaces they read
// (scripts/a11y-check.sh reads the same over AT-SPI): every combo box named
// by its label or its given name with its current text as the value; every
// toolbar command in a menu with a shortcut of its own; the preset list
// focused, with its focus frame, when the window opens.
#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QToolBar>
#include <functional>

#include "dialog/AdvancedDialog.h"
#include "dlggen/Accessible.h"
#include "gui/guitest.h"
#include "mwnd/PresetCombo.h"
#include "prgdlg/GeneralPage.h"
#include "prgdlg/PresetOptionsDialog.h"

namespace {

// Every combo box in `w`: named by its given name, else by its label, never
// by its value alone; its value is its current text; the popup's list stays
// its child, for the rows. Adds the names to `names`.
void CheckCombos(QWidget* w, QStringList* names) {
  for (QComboBox* c : w->findChildren<QComboBox*>()) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c);
    const QString want = c->accessibleName().isEmpty() ? BuddyLabelText(c) : c->accessibleName();
    const QByteArray where = (w->objectName() + "/" + c->objectName()).toUtf8();
    QVERIFY2(a && !want.isEmpty(), where.constData());
    QCOMPARE(a->role(), QAccessible::ComboBox);
    QCOMPARE(a->text(QAccessible::Name), want);
    QCOMPARE(a->text(QAccessible::Value), c->currentText());
    // AT-SPI carries the value as the text (an editable box's is its line
    // edit's).
    if (!c->isEditable()) {
      QVERIFY2(a->textInterface(), where.constData());
      QCOMPARE(a->textInterface()->text(0, a->textInterface()->characterCount()), c->currentText());
    }
    QVERIFY2(a->child(0) && a->child(0)->object() == c->view(), where.constData());
    *names << want;
  }
}

}  // namespace

class AccessTest : public QObject {
  Q_OBJECT
  MainWindow* W = nullptr;

 private Q_SLOTS:
  void init() {
    gui::FreshStore();
    gui::TakeCheckFailures();
    W = gui::OpenMainWindow();
  }
  void cleanup() {
    gui::CloseMainWindow(W);
    QCOMPARE(gui::TakeCheckFailures(), QStringList());
  }

  void combosAreNamedByTheirLabels() {
    QStringList main;
    CheckCombos(W, &main);
    QCOMPARE(main, QStringList{"Preset name"});
    QCOMPARE(QAccessible::queryAccessibleInterface(W->presetList())->text(QAccessible::Value),
             QStringLiteral("BUILTIN: Relaxation 1 (general)"));

    QStringList editor;
    QVERIFY(gui::InPresetOptions(W->actions().PresetOptions, [&](PresetOptionsDialog* d) {
      // Each tab fills the panes anew: names follow.
      for (int tab = 0; tab < d->tabs()->count(); ++tab) {
        QTest::mouseClick(d->tabs(), Qt::LeftButton, Qt::NoModifier, d->tabs()->tabRect(tab).center());
        CheckCombos(d, &editor);
      }
      QCOMPARE(QAccessible::queryAccessibleInterface(d->generalPage()->backgroundCombo())->text(QAccessible::Name),
               QStringLiteral("Background:"));
    }));
    QVERIFY(editor.contains("Sound Volume: choice"));

    QStringList advanced;
    gui::OnDialog<AdvancedOptionsDialog>([&](AdvancedOptionsDialog* d) {
      CheckCombos(d, &advanced);
      d->reject();
    });
    AdvancedOptionsDialog::editOptions(W);
    advanced.sort();
    QCOMPARE(advanced, (QStringList{"AudioStrobe signal waveform:", "Device:"}));
  }

  void labelsLoseTheirMnemonics_data() {
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("name");
    QTest::newRow("mnemonic") << QString("Tim&e:") << QString("Time:");
    QTest::newRow("doubled") << QString("Salt && &Pepper") << QString("Salt & Pepper");
    QTest::newRow("last") << QString("Odd&") << QString("Odd");
    QTest::newRow("none") << QString("Plain") << QString("Plain");
  }
  void labelsLoseTheirMnemonics() {
    QFETCH(QString, label);
    QFETCH(QString, name);
    QCOMPARE(PlainLabelText(label), name);
  }

  // The toolbar is not in the Tab order: each of its commands is in a menu
  // with a shortcut that no other command shares, and is named there
  // without the keys.
  void toolbarCommandsAreInTheMenusWithShortcuts() {
    QList<QAction*> inMenus;
    for (QAction* m : W->menuBar()->actions())
      if (m->menu()) inMenus += m->menu()->actions();
    QList<QKeySequence> keys;
    for (QAction* a : W->QWidget::actions()) keys += a->shortcuts();
    int tools = 0;
    for (QAction* t : W->toolBar()->actions()) {
      if (t->isSeparator() || W->toolBar()->widgetForAction(t) == W->presetList()) continue;
      ++tools;
      QAction* m = MenuActionFor(W->actions(), t);
      QVERIFY2(m, qPrintable(t->objectName()));
      QVERIFY2(inMenus.contains(m), qPrintable(m->objectName()));
      QVERIFY2(!m->shortcut().isEmpty(), qPrintable(m->objectName()));
      QCOMPARE(keys.count(m->shortcut()), 1);
      QVERIFY2(!m->text().contains('\t'), qPrintable(m->text()));
    }
    QCOMPARE(tools, 8);
  }

  // Styles draw the focus frame only once the keyboard moved the focus: the
  // window opens as if Tab had put it on the list.
  void presetListShowsItsFocusFrameAtTheStart() {
    QVERIFY(QTest::qWaitForWindowActive(W));
    QTRY_VERIFY(W->presetList()->hasFocus());
    QVERIFY(W->testAttribute(Qt::WA_KeyboardFocusChange));
    QStyleOptionComboBox o;
    o.initFrom(W->presetList());
    QVERIFY(o.state & QStyle::State_KeyboardFocusChange);
    QVERIFY(o.state & QStyle::State_HasFocus);
  }
};

GUI_TEST(AccessTest);
#include "tst_access.moc"
