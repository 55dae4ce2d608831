// The progress panel: a small borderless yellow window, never activated,
// that names the table being cleaned. Its size and place come from the panel
// model in app/core.
#pragma once

#include <QFrame>
#include <QString>
#include <QWidget>

namespace dbfclean {

// The panel's one control: yellow, a raised outer and a raised inner bevel of
// one pixel each, the text centred and cut at the edges.
class CaptionFrame : public QFrame {
 public:
  explicit CaptionFrame(QWidget* parent);
  void setText(const QString& text);
  const QString& text() const { return text_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
};

class TMsgPanel : public QWidget {
 public:
  TMsgPanel();
  void ShowProgress(const QString& text);
  void HideProgress();
  CaptionFrame* captionPanel() const { return CaptionPanel; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void FormCreate();
  CaptionFrame* CaptionPanel;
};

}  // namespace dbfclean
