// The help window: HTML pages shipped in the program's resources, one per
// menu command and dialog, with a contents page and an introduction to
// presets, segments, voices and curves. Help Topics and F1 open the
// contents; a dialog's Help button and F1 open its own page.
//
// Main thread only.
#pragma once
#include <QDialog>

class QTextBrowser;

class HelpWindow : public QDialog {
  Q_OBJECT
 public:
  explicit HelpWindow(QWidget* owner);
  QTextBrowser* browser() const { return Browser; }
  // The page shown ("index", "play", ...).
  QString topic() const;

  // Opens the window (one for the program) at `topic`.
  static void showTopic(QWidget* owner, const QString& topic);
  static HelpWindow* instance();
  static void closeAll();
  // Whether the resources hold a page for the topic.
  static bool hasTopic(const QString& topic);

 private:
  QTextBrowser* Browser;
};
