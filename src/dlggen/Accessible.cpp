// The combo box's accessible interface.
#include "dlggen/Accessible.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

namespace {

// The value reaches AT-SPI as the box's text (read-only): the bridge
// carries no value text for a combo box, and the toolkit's own interface
// carried it as the name.
class ComboAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit ComboAccessible(QComboBox* c) : QAccessibleWidget(c, QAccessible::ComboBox) {}

  QComboBox* combo() const { return static_cast<QComboBox*>(object()); }

  void* interface_cast(QAccessible::InterfaceType t) override {
    // An editable box's text is its line edit's, a child of its own.
    if (t == QAccessible::TextInterface && !combo()->lineEdit()) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
  }

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) {
      QString name = combo()->accessibleName();
      if (name.isEmpty()) name = BuddyLabelText(combo());
      // Nothing names it: its value is better than silence.
      return name.isEmpty() ? value() : name;
    }
    if (t == QAccessible::Value) return value();
    return QAccessibleWidget::text(t);
  }

  // The popup's list, then the line edit of an editable box.
  int childCount() const override { return combo()->lineEdit() ? 2 : 1; }
  QAccessibleInterface* child(int index) const override {
    if (index == 0) return QAccessible::queryAccessibleInterface(combo()->view());
    if (index == 1 && combo()->lineEdit()) return QAccessible::queryAccessibleInterface(combo()->lineEdit());
    return nullptr;
  }
  int indexOfChild(const QAccessibleInterface* c) const override {
    if (!c) return -1;
    if (c->object() == combo()->view()) return 0;
    if (combo()->lineEdit() && c->object() == combo()->lineEdit()) return 1;
    return -1;
  }

  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.expandable = true;
    s.expanded = combo()->view()->isVisible();
    s.editable = combo()->isEditable();
    return s;
  }

  QStringList actionNames() const override {
    return {QAccessibleActionInterface::showMenuAction(), QAccessibleActionInterface::pressAction()};
  }
  void doAction(const QString& action) override {
    if (action == QAccessibleActionInterface::showMenuAction() || action == QAccessibleActionInterface::pressAction()) {
      if (combo()->view()->isVisible())
        combo()->hidePopup();
      else
        combo()->showPopup();
    }
  }

  // The text: the current value, read-only, without a caret or selection.
  QString text(int start, int end) const override {
    const QString v = value();
    if (end < 0 || end > v.size()) end = int(v.size());
    start = std::clamp(start, 0, end);
    return v.mid(start, end - start);
  }
  int characterCount() const override { return int(value().size()); }
  void selection(int, int* start, int* end) const override { *start = *end = 0; }
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  QRect characterRect(int) const override { return QRect(); }
  int offsetAtPoint(const QPoint&) const override { return -1; }
  void scrollToSubstring(int, int) override {}
  QString attributes(int, int* start, int* end) const override {
    *start = 0;
    *end = characterCount();
    return QString();
  }

 private:
  QString value() const { return combo()->lineEdit() ? combo()->lineEdit()->text() : combo()->currentText(); }
};

QAccessibleInterface* ComboFactory(const QString&, QObject* o) {
  if (auto* c = qobject_cast<QComboBox*>(o)) return new ComboAccessible(c);
  return nullptr;
}

}  // namespace

void InstallComboAccessible() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  QAccessible::installFactory(ComboFactory);
}

QString PlainLabelText(const QString& text) {
  QString out;
  for (int i = 0; i < text.size(); ++i) {
    if (text[i] == QLatin1Char('&')) {
      if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&')) out += QLatin1Char('&');
      ++i;
      if (i < text.size() && text[i] != QLatin1Char('&')) out += text[i];
      continue;
    }
    out += text[i];
  }
  return out;
}

QString BuddyLabelText(const QWidget* w) {
  const QWidget* top = w ? w->window() : nullptr;
  if (!top) return QString();
  for (const QLabel* l : top->findChildren<QLabel*>())
    if (l->buddy() == w) return PlainLabelText(l->text());
  return QString();
}
