// The combo box's accessible interface.
#include "dlggen/Accessible.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace {

class ComboAccessible : public QAccessibleWidget {
 public:
  explicit ComboAccessible(QComboBox* c) : QAccessibleWidget(c, QAccessible::ComboBox) {}

  QComboBox* combo() const { return static_cast<QComboBox*>(object()); }

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
