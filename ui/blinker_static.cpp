#include "ui/blinker_static.h"

#include <algorithm>

#include <QColor>
#include <QImage>
#include <QPainter>

#include "res/resource_ids.h"

namespace ticktavo {

std::array<QPixmap, BlinkerStatic::kFrameCount* BlinkerStatic::kSetCount>*
    BlinkerStatic::s_blinkerIcons = nullptr;
bool BlinkerStatic::s_blinkerIconsLoaded = false;

BlinkerStatic::BlinkerStatic(QWidget* parent) : QLabel(parent) {
  if (!s_blinkerIconsLoaded) LoadBlinkerIcons();
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(kEdge);
  setAlignment(Qt::AlignCenter);
  setPixmap(Icon(0, 0));
}

BlinkerStatic::~BlinkerStatic() = default;

void BlinkerStatic::LoadBlinkerIcons() {
  if (s_blinkerIconsLoaded) return;
  s_blinkerIcons = new std::array<QPixmap, kFrameCount * kSetCount>();
  for (int set = 0; set < kSetCount; ++set) {
    const int size = IconSize(set);
    const int step = 2 * (set + 1);  // diameter grows by 2 or 4 pixels a frame
    for (int frame = 0; frame < kFrameCount; ++frame) {
      QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
      image.fill(Qt::transparent);
      if (frame > 0) {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 0, 0));
        const double diameter = step * frame;
        const double offset = (size - diameter) / 2.0;
        painter.drawEllipse(QRectF(offset, offset, diameter, diameter));
      }
      (*s_blinkerIcons)[static_cast<std::size_t>(kFrameCount * set + frame)] =
          QPixmap::fromImage(image);
    }
  }
  s_blinkerIconsLoaded = true;
}

const QPixmap& BlinkerStatic::Icon(int sizeSet, int frame) {
  LoadBlinkerIcons();
  const int set = std::clamp(sizeSet, 0, kSetCount - 1);
  return (*s_blinkerIcons)[static_cast<std::size_t>(kFrameCount * set + ClampFrame(frame))];
}

void BlinkerStatic::SetFrame(int frame) {
  frame = ClampFrame(frame);
  if (frame == Frame()) return;
  m_frame.store(frame, std::memory_order_relaxed);
  setPixmap(Icon(m_sizeSet, frame));
  ++m_pictureChanges;
  repaint();
}

void BlinkerStatic::FadeStep() {
  SetFrame(std::max(Frame() - 1, 0));
}

void BlinkerStatic::SetSizeSet(int sizeSet) {
  m_sizeSet = std::clamp(sizeSet, 0, kSetCount - 1);
}

void BlinkerStatic::ShowTemplateIcon(int iconId) {
  const int index = iconId - kIdFirstBlinkerIcon;
  if (index < 0 || index >= kFrameCount * kSetCount) return;
  setPixmap(Icon(index / kFrameCount, index % kFrameCount));
}

}  // namespace ticktavo
