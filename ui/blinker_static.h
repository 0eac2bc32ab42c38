#pragma once

#include <array>

#include <QLabel>
#include <QPixmap>

namespace ticktavo {

// A small sunken square that shows one of nine frames: frame 0 is empty, frames 1..8 a pure
// red disc growing with the frame. Size set 0 draws 16-pixel frames (disc diameter 2f), set 1
// 32-pixel frames (diameter 4f), so frame 8 fills the square.
// Window's thread only.
class BlinkerStatic final : public QLabel {
  Q_OBJECT

 public:
  static constexpr int kFrameCount = 9;
  static constexpr int kSetCount = 2;
  // Width of the sunken edge on each side, in pixels.
  static constexpr int kEdge = 2;

  explicit BlinkerStatic(QWidget* parent = nullptr);
  ~BlinkerStatic() override;

  // Draws the 18 frames once; later calls do nothing. Needs the application object.
  static void LoadBlinkerIcons();
  // Frame f (0..8) of set s (0 or 1); frames outside are clamped.
  static const QPixmap& Icon(int sizeSet, int frame);
  // Pixel size of the squares of a set: 16 or 32.
  static constexpr int IconSize(int sizeSet) { return 16 * (sizeSet + 1); }

  // Shows frame f of this blinker's set and repaints at once; does nothing when f is already
  // shown. Frames outside 0..8 are clamped, never used as an index.
  void SetFrame(int frame);
  // One frame down, never below 0.
  void FadeStep();
  // Chooses the set used from the next frame change; nothing is redrawn now.
  void SetSizeSet(int sizeSet);
  // Shows icon resource 130..147 as the template gives it, without changing the frame.
  void ShowTemplateIcon(int iconId);

  int Frame() const { return m_frame; }
  int SizeSet() const { return m_sizeSet; }

  // How many times the picture was changed; lets a caller see that nothing was sent.
  int PictureChanges() const { return m_pictureChanges; }

  static int ClampFrame(int frame) { return frame < 0 ? 0 : (frame > 8 ? 8 : frame); }

 private:
  int m_frame = 0;
  int m_sizeSet = 0;
  int m_pictureChanges = 0;

  // Kept for the whole run of the program and never freed: pixmaps must not outlive the
  // application object, and this table is reached until the very end.
  static std::array<QPixmap, kFrameCount * kSetCount>* s_blinkerIcons;
  static bool s_blinkerIconsLoaded;
};

}  // namespace ticktavo
