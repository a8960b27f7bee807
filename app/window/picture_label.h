// Image1: shows the picture at its natural size, scaled pixel by pixel on a high-density screen
// (a smoothed caption would show colours the saved file does not have), and lets the user drag
// the picture out of the window.
#pragma once

#include <QLabel>
#include <QPoint>
#include <optional>

class TPictureLabel : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;

 signals:
  // The pointer moved far enough with the left button held down on the picture.
  void dragStarted(QPoint hotSpot);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  std::optional<QPoint> pressedAt_;
};
