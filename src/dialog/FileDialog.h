// The file dialogs: open and save, with the program's filter strings
// ("Sonavel Files|*.tvk|All Files|*.*|") and a default extension. Tests
// pre-answer the next dialog with setNextFileName ("" = cancelled).
//
// Main thread only.
#pragma once
#include <QString>

class QWidget;

class FileDialog {
 public:
  // An existing file to open; "" when cancelled.
  static QString openFile(QWidget* owner, int titleId, int filterId, const QString& defaultSuffix);
  // The same with a title of its own.
  static QString openFile(QWidget* owner, const QString& title, int filterId, const QString& defaultSuffix);
  // A file to write, asking before an existing file is replaced; "" when
  // cancelled. An initial name that cannot be a file name is not offered.
  // Choosing a filter makes its first extension the default one; the filter
  // chosen (0 the first) goes to *chosenFilter, -1 when not known (a name
  // pre-answered by a test).
  static QString saveFile(QWidget* owner, int titleId, int filterId, const QString& initialName,
                          const QString& defaultSuffix, int* chosenFilter = nullptr);

  // --- Tests ---------------------------------------------------------------
  static void setNextFileName(const QString& name);
  static int pendingFileNames();
  static void clearNextFileNames();
};

// Whether `name` can be a file name in a folder (no slash, not empty, not
// "." or "..", at most 255 bytes).
bool IsValidFileName(const QString& name);
