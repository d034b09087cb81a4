// The parameter chart's accessible interface.
#include "chart/ChartAccessible.h"

#include <QAccessibleWidget>
#include <cmath>

#include "chart/ParameterChart.h"

namespace {

class ChartAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit ChartAccessible(ParameterChart* c) : QAccessibleWidget(c, QAccessible::Chart) {}

  ParameterChart* chart() const { return static_cast<ParameterChart*>(object()); }

  void* interface_cast(QAccessible::InterfaceType t) override {
    if (t == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
  }

  QVariant currentValue() const override {
    double v = 0;
    return chart()->focusedValue(&v) ? QVariant(v) : QVariant();
  }
  void setCurrentValue(const QVariant& value) override {
    bool ok = false;
    double v = value.toDouble(&ok);
    if (ok) chart()->setFocusedValue(v);
  }
  QVariant maximumValue() const override { return double(chart()->valueDefinition().Max); }
  QVariant minimumValue() const override { return double(chart()->valueDefinition().Min); }
  // The resolution of an edit: the decimals the chart shows.
  QVariant minimumStepSize() const override { return std::pow(10.0, -chart()->valueDefinition().Shown); }
};

QAccessibleInterface* ChartFactory(const QString&, QObject* o) {
  if (auto* c = qobject_cast<ParameterChart*>(o)) return new ChartAccessible(c);
  return nullptr;
}

}  // namespace

void InstallChartAccessible() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  QAccessible::installFactory(ChartFactory);
}
