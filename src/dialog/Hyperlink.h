// The hyperlink control: underlined blue text that opens its target (a web
// address or a "mailto:" address) when clicked, or with Enter or Space when
// it has the focus.
//
// The control's text is the text to show, a TAB, and the target; without a
// TAB the whole text is both. Only the painted text is a link: the cursor
// turns into the link cursor over it, and clicks to the right of it do
// nothing. The width of the text is measured when it is painted (0 before
// the first paint). A failed launch shows message 1276.
//
// Main thread only.
#pragma once
#include <QString>
#include <QWidget>

class Hyperlink : public QWidget {
  Q_OBJECT
 public:
  explicit Hyperlink(const QString& text, QWidget* parent = nullptr);
  void setText(const QString& text);
  QString text() const { return Text; }
  QString shownText() const;
  QString target() const;
  // Width of the painted text; 0 before the first paint.
  int textWidth() const { return TextWidth; }

  QSize sizeHint() const override;

  // Opens targets; tests replace it. Returns false when nothing could be
  // launched.
  static void setOpener(bool (*opener)(const QString& target));

 signals:
  void opened(const QString& target);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  QString Text;
  int TextWidth = 0;
  void launch();
};
