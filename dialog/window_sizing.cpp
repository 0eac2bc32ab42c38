#include "dialog/window_sizing.h"

#include <algorithm>

#include "dialog/dialog_units.h"

namespace ticktavo {

int HiddenRows(int rowPitch, int fullHeight, int outerHeight) {
  if (rowPitch <= 0) return 0;  // no measurable rows: nothing to fold
  // Signed, truncating toward zero, as a row counts as gone once most of it is cut off.
  return (rowPitch / 2 + (fullHeight - outerHeight) + 5) / rowPitch;
}

void SizingLayout::Capture(Size client, Size frame, const std::array<Rect, kAnchorCount>& anchors,
                           int firstRowTop, int secondRowTop) {
  m_bottomReserve = 0;
  for (std::size_t k = 0; k < anchors.size(); ++k) {
    // The client area's bottom edge lies just below its last row of pixels.
    m_anchorBottom[k] = client.height - anchors[k].y;
    m_anchorLeft[k] = anchors[k].x;
    if (m_anchorBottom[k] >= m_bottomReserve) m_bottomReserve = m_anchorBottom[k] + 1;
    m_anchorWidth[k] = anchors[k].width;
    m_anchorHeight[k] = anchors[k].height;
  }
  m_minHeight = kMinWindowHeight;
  m_frame = frame;
  m_fullWidth = client.width + frame.width;
  m_fullHeight = client.height + frame.height;
  m_rowPitch = secondRowTop - firstRowTop;
  m_layoutReady = true;
}

void SizingLayout::FrameChanged(Size frame) {
  m_fullWidth += frame.width - m_frame.width;
  m_fullHeight += frame.height - m_frame.height;
  m_frame = frame;
}

namespace {

int MulDivRound(int value, int numerator, int denominator) {
  return DialogUnits::MulDivRound(value, numerator, denominator);
}

}  // namespace

void SizingLayout::Rescale(int numerator, int denominator) {
  if (numerator <= 0 || denominator <= 0) return;
  auto scale = [&](int& length) { length = MulDivRound(length, numerator, denominator); };
  const Size client{m_fullWidth - m_frame.width, m_fullHeight - m_frame.height};
  m_fullWidth = m_frame.width + MulDivRound(client.width, numerator, denominator);
  m_fullHeight = m_frame.height + MulDivRound(client.height, numerator, denominator);
  scale(m_bottomReserve);
  scale(m_rowPitch);
  for (auto* lengths : {&m_anchorBottom, &m_anchorLeft, &m_anchorWidth, &m_anchorHeight}) {
    for (int& length : *lengths) scale(length);
  }
}

SizeLimits SizingLayout::Limits() const {
  SizeLimits limits;
  limits.minWidth = limits.maxWidth = limits.maximizedWidth = m_fullWidth;
  limits.maxHeight = limits.maximizedHeight = m_fullHeight;
  // A window laid out smaller than the least height (a tiny font) keeps its own height rather
  // than getting a least height above its greatest.
  limits.minHeight = std::min(m_minHeight, m_fullHeight);
  limits.frame = m_frame;
  return limits;
}

FoldState SizingLayout::FoldAt(int outerHeight) const {
  const int visible =
      std::min(kFoldingRows - HiddenRows(m_rowPitch, m_fullHeight, outerHeight), kFoldingRows);
  return FoldState{visible, visible >= 0, visible >= -1};
}

int SizingLayout::StoredRowsAt(int outerHeight) const {
  return std::max(FoldAt(outerHeight).visibleRows, kFewestStoredRows);
}

int SizingLayout::ClientHeightForRows(int rows) const {
  const int hidden = kFoldingRows - std::clamp(rows, kFewestStoredRows, kFoldingRows);
  // k whole pitches fold exactly k rows: the k-th goes at k × pitch − pitch / 2 − 5.
  return m_fullHeight - m_frame.height - hidden * m_rowPitch;
}

Rect SizingLayout::AnchorPlace(int k, int clientHeight) const {
  const auto i = static_cast<std::size_t>(std::clamp(k, 0, kAnchorCount - 1));
  return Rect{m_anchorLeft[i], clientHeight - m_anchorBottom[i], m_anchorWidth[i],
              m_anchorHeight[i]};
}

Rect SizingLayout::RepaintBand(int clientWidth, int clientHeight, int& previousClientHeight) const {
  int top = clientHeight - m_bottomReserve;
  const int growth = clientHeight - previousClientHeight;
  previousClientHeight = clientHeight;
  // Growing uncovers the old places of the anchored controls above the band: repaint them too.
  if (growth > 0) top -= growth;
  return Rect{0, top, clientWidth, clientHeight - top};
}

}  // namespace ticktavo
