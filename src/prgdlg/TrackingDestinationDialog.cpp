// Tracking Destination.
#include "prgdlg/TrackingDestinationDialog.h"

#include <QPushButton>
#include <QTreeWidget>

#include "dialog/MessageBox.h"
#include "dialog/placement.h"
#include "dialog/strids.h"
#include "main/paramrules.h"
#include "main/startup.h"

namespace {

void AddItems(QTreeWidgetItem* parent, QTreeWidget* tree, const std::vector<DestinationItem>& items) {
  for (const DestinationItem& i : items) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
    item->setText(0, QString::fromStdString(i.Text));
    item->setData(0, Qt::UserRole, i.Pid);
    if (i.Pid >= 0) {
      QFont bold = item->font(0);
      bold.setBold(true);
      item->setFont(0, bold);
    }
    AddItems(item, tree, i.Children);
  }
}

}  // namespace

TrackingDestinationDialog::TrackingDestinationDialog(QWidget* owner, const Param* params, const Segment& seg, int pid)
    : DynDialog(owner, QSize(200, 220), QStringLiteral("tracking_destination")) {
  setObjectName(QStringLiteral("trackingDestinationDialog"));
  setWindowTitle(tr("Tracking Destination"));
  DynLayout* l = dynLayout();
  Tree = new QTreeWidget(this);
  Tree->setObjectName(QStringLiteral("destinationTree"));
  Tree->setHeaderHidden(true);
  Tree->setAccessibleName(tr("Tracking destinations"));
  l->addControl(Tree, 7, 7, 1017, 1024 - 30);
  AddItems(nullptr, Tree, DestinationTree(params, seg, pid));
  Tree->expandAll();
  // A destination opens like OK.
  connect(Tree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
    if (item->data(0, Qt::UserRole).toInt() >= 0) accept();
  });
  QPushButton* ok = addButton(tr("OK"), 1024 - 7 - 106, 1003);
  ok->setObjectName(QStringLiteral("okButton"));
  ok->setDefault(true);
  QPushButton* cancel = addButton(tr("Cancel"), 1024 - 7 - 50, 1003);
  cancel->setObjectName(QStringLiteral("cancelButton"));
  connect(ok, &QPushButton::clicked, this, &TrackingDestinationDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  // Over the window it was opened from, whole on its screen.
  resize(sizeHint());
  PlaceWindow(this, owner ? owner->window() : nullptr, Placement());
}

void TrackingDestinationDialog::accept() {
  QTreeWidgetItem* item = Tree->currentItem();
  const int pid = item && item->isSelected() ? item->data(0, Qt::UserRole).toInt() : -1;
  if (pid < 0) {
    MessageBox::show(this, strid::NoTrackingDestination);
    Tree->setFocus();
    return;
  }
  Destination = pid;
  QDialog::accept();
}
