// What screen readers on Linux are told about combo boxes. The toolkit's own
// interface names a combo box there by its current text and leaves the name
// the code gives (or its label) unsaid; this one names it by its accessible
// name, else by the label whose buddy it is, and keeps the current text as
// its value, which AT-SPI carries as the box's (read-only) text. The popup
// list and the line edit stay its children.
//
// Main thread only.
#pragma once
#include <QString>

class QWidget;

// Installs the factory (once; later calls do nothing). Interfaces already
// made for a combo box keep theirs: install before the first window.
void InstallComboAccessible();

// A label's text as a name, as the toolkit names a field by its label:
// mnemonic ampersands dropped, "&&" one "&" ("Tim&e:" reads "Time:").
QString PlainLabelText(const QString& text);

// The text of the label whose buddy `w` is (as PlainLabelText), or "".
QString BuddyLabelText(const QWidget* w);
