#include "ui/window_sizing.h"

#include <algorithm>

#include <QEvent>
#include <QWidget>

#include "res/resource_ids.h"

namespace ticktavo {

int WindowSizer::s_prevClientHeight = 0;

// --- Arithmetic ---

int HiddenRows(int rowPitch, int fullHeight, int outerHeight) {
  if (rowPitch <= 0) return 0;  // no measurable rows: nothing to fold
  // Signed, truncating toward zero, as a row counts as gone once most of it is cut off.
  return (rowPitch / 2 + (fullHeight - outerHeight) + 5) / rowPitch;
}

void SizingLayout::Capture(QSize clientSize, QSize frame,
                           const std::array<QRect, kAnchorCount>& anchors, int firstRowTop,
                           int secondRowTop) {
  m_bottomReserve = 0;
  for (std::size_t k = 0; k < anchors.size(); ++k) {
    // The client area's bottom edge lies just below its last row of pixels.
    m_anchorBottom[k] = clientSize.height() - anchors[k].top();
    m_anchorLeft[k] = anchors[k].left();
    if (m_anchorBottom[k] >= m_bottomReserve) m_bottomReserve = m_anchorBottom[k] + 1;
    m_anchorWidth[k] = anchors[k].width();
    m_anchorHeight[k] = anchors[k].height();
  }
  m_minHeight = kMinWindowHeight;
  m_frameWidth = frame.width();
  m_frameHeight = frame.height();
  m_fullWidth = clientSize.width() + m_frameWidth;
  m_fullHeight = clientSize.height() + m_frameHeight;
  m_rowPitch = secondRowTop - firstRowTop;
  m_layoutReady = true;
}

void SizingLayout::FrameChanged(QSize frame) {
  m_fullWidth += frame.width() - m_frameWidth;
  m_fullHeight += frame.height() - m_frameHeight;
  m_frameWidth = frame.width();
  m_frameHeight = frame.height();
}

SizeLimits SizingLayout::Limits() const {
  SizeLimits limits;
  limits.minWidth = limits.maxWidth = limits.maximizedWidth = m_fullWidth;
  limits.maxHeight = limits.maximizedHeight = m_fullHeight;
  // A window laid out smaller than the least height (a tiny font) keeps its own height rather
  // than getting a least height above its greatest.
  limits.minHeight = std::min(m_minHeight, m_fullHeight);
  return limits;
}

FoldState SizingLayout::FoldAt(int outerHeight) const {
  const int visible =
      std::min(kFoldingRows - HiddenRows(m_rowPitch, m_fullHeight, outerHeight), kFoldingRows);
  return FoldState{visible, visible >= 0, visible >= -1};
}

QRect SizingLayout::AnchorPlace(int k, int clientHeight) const {
  const auto i = static_cast<std::size_t>(std::clamp(k, 0, kAnchorCount - 1));
  return QRect(m_anchorLeft[i], clientHeight - m_anchorBottom[i], m_anchorWidth[i],
               m_anchorHeight[i]);
}

QRect SizingLayout::RepaintBand(int clientWidth, int clientHeight,
                                int& previousClientHeight) const {
  int top = clientHeight - m_bottomReserve;
  const int growth = clientHeight - previousClientHeight;
  previousClientHeight = clientHeight;
  // Growing uncovers the old places of the anchored controls above the band: repaint them too.
  if (growth > 0) top -= growth;
  return QRect(QPoint(0, top), QPoint(clientWidth - 1, clientHeight - 1));
}

// --- The window ---

WindowSizer::WindowSizer(QWidget& window, const Controls& controls)
    : QObject(&window), m_window(&window), m_controls(controls) {
  window.installEventFilter(this);
}

WindowSizer::~WindowSizer() {
  if (!m_window.isNull()) m_window->removeEventFilter(this);
}

QSize WindowSizer::FrameSize() const {
  return m_window->frameGeometry().size() - m_window->size();
}

int WindowSizer::OuterHeight() const {
  return m_window->height() + m_layout.m_frameHeight;
}

void WindowSizer::CaptureLayout() {
  if (m_window.isNull()) return;
  std::array<QRect, kAnchorCount> anchors;
  for (std::size_t k = 0; k < anchors.size(); ++k) {
    if (m_controls.anchors[k] != nullptr) anchors[k] = m_controls.anchors[k]->geometry();
  }
  QWidget* firstVolume = m_controls.rows[0][2];
  QWidget* secondVolume = m_controls.rows[1][2];
  m_layout.Capture(m_window->size(), FrameSize(), anchors,
                   firstVolume != nullptr ? firstVolume->y() : 0,
                   secondVolume != nullptr ? secondVolume->y() : 0);
  OnGetMinMaxInfo();
}

void WindowSizer::OnGetMinMaxInfo() {
  if (m_window.isNull() || !m_layout.m_layoutReady) return;
  const SizeLimits limits = m_layout.Limits();
  // Qt limits the client area; the limits above are for the whole window.
  const int frameWidth = m_layout.m_frameWidth;
  const int frameHeight = m_layout.m_frameHeight;
  // Changing the limits may resize the window, which brings us back through OnSize.
  m_window->setMinimumSize(std::max(0, limits.minWidth - frameWidth),
                           std::max(0, limits.minHeight - frameHeight));
  m_window->setMaximumSize(std::max(0, limits.maxWidth - frameWidth),
                           std::max(0, limits.maxHeight - frameHeight));
}

void WindowSizer::CheckFrame() {
  if (m_window.isNull() || !m_layout.m_layoutReady) return;
  const QSize frame = FrameSize();
  if (frame == QSize(m_layout.m_frameWidth, m_layout.m_frameHeight)) return;
  m_layout.FrameChanged(frame);
  OnGetMinMaxInfo();
}

void WindowSizer::OnSize() {
  if (m_window.isNull() || !m_layout.m_layoutReady) return;
  const FoldState fold = m_layout.FoldAt(OuterHeight());

  // Every control is shown or hidden on every size change, whatever its state was; rows top
  // down, each row's controls left to right.
  for (int row = 0; row < kFoldingRows; ++row) {
    const bool shown = row < fold.visibleRows;
    for (QWidget* control : m_controls.rows[static_cast<std::size_t>(row)]) {
      if (control != nullptr) control->setVisible(shown);
    }
  }
  for (QWidget* control : m_controls.header) {
    if (control != nullptr) control->setVisible(fold.headerShown);
  }
  for (QWidget* control : m_controls.help) {
    if (control != nullptr) control->setVisible(fold.helpShown);
  }

  const int clientHeight = m_window->height();
  for (int k = 0; k < kAnchorCount; ++k) {
    if (QWidget* control = m_controls.anchors[static_cast<std::size_t>(k)]) {
      control->setGeometry(m_layout.AnchorPlace(k, clientHeight));
    }
  }

  // One immediate repaint of the bottom band (grown by the growth, so the places the anchored
  // controls left are painted over too) instead of one per control.
  m_lastBand = m_layout.RepaintBand(m_window->width(), clientHeight, s_prevClientHeight);
  if (m_window->isVisible()) m_window->repaint(m_lastBand);
}

bool WindowSizer::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_window) {
    switch (event->type()) {
      case QEvent::Resize:
        CheckFrame();
        OnSize();
        break;
      case QEvent::Show:
      case QEvent::Move:
      case QEvent::WindowStateChange:
        CheckFrame();
        break;
      default:
        break;
    }
  }
  return QObject::eventFilter(watched, event);
}

WindowSizer::Controls FoldingControlsById(const std::function<QWidget*(int id)>& controlById) {
  WindowSizer::Controls controls;
  for (int n = 0; n < kFoldingRows; ++n) {
    controls.rows[static_cast<std::size_t>(n)] = {
        controlById(kIdVoiceLabel[n]), controlById(kIdVoiceInstrument[n]),
        controlById(kIdVoiceVolume[n]), controlById(kIdVoiceBlinkSize[n]),
        controlById(kIdVoiceBlinker[n])};
  }
  controls.header = {controlById(kIdVolumeHeading), controlById(kIdVoicesHeading),
                     controlById(kIdBlink)};
  controls.help = {controlById(kIdHelpText), controlById(kIdHelpFrame)};
  for (std::size_t k = 0; k < kAnchorCount; ++k)
    controls.anchors[k] = controlById(kAnchoredControlIds[k]);
  return controls;
}

}  // namespace ticktavo
