#include "ui/blinker_static.h"

#include <algorithm>

#include <QImage>

#include "res/resource_ids.h"
#include "ui/accessibility.h"

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
      // Solid discs with crisp edges, like the small 16-colour icons they stand for: a pixel
      // is red when its centre lies within the disc. On the middle row that makes exactly
      // `diameter` pixels, and frame 8 touches all four edges of the square.
      QImage image(size, size, QImage::Format_ARGB32);
      image.fill(Qt::transparent);
      const double radius = step * frame / 2.0;
      const double centre = size / 2.0;
      for (int y = 0; y < size && frame > 0; ++y) {
        for (int x = 0; x < size; ++x) {
          const double dx = x + 0.5 - centre;
          const double dy = y + 0.5 - centre;
          if (dx * dx + dy * dy <= radius * radius) image.setPixel(x, y, qRgba(255, 0, 0, 255));
        }
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
  m_frame = frame;
  setPixmap(Icon(m_sizeSet, frame));
  ++m_pictureChanges;
  repaint();
  NotifyBlinkerFrameChanged(*this);
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
