#include "app/window/picture_label.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <utility>

void TPictureLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawPixmap(QPoint(0, 0), pixmap());
}

void TPictureLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QLabel::mousePressEvent(event);
  pressedAt_ = event->position().toPoint();
}

void TPictureLabel::mouseMoveEvent(QMouseEvent* event) {
  if (!pressedAt_ || !(event->buttons() & Qt::LeftButton)) return QLabel::mouseMoveEvent(event);
  if ((event->position().toPoint() - *pressedAt_).manhattanLength() >=
      QApplication::startDragDistance()) {
    emit dragStarted(*std::exchange(pressedAt_, std::nullopt));
  }
}

void TPictureLabel::mouseReleaseEvent(QMouseEvent* event) {
  pressedAt_.reset();
  QLabel::mouseReleaseEvent(event);
}
