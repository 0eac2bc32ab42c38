#pragma once

#include <array>

#include "dialog/geometry.h"
#include "dialog/window_host.h"
#include "res/resource_ids.h"

namespace ticktavo {

// How the main window folds up as it is made shorter. Its width is fixed; its height runs from
// 180 pixels up to the height it was created with. The tempo and preset controls at the bottom
// stay at their distance from the bottom edge, and the voice rows are hidden one by one from
// voice 9 upwards; with no voice row left the column headings go, then the help text about the
// Custom option. Growing the window back shows them again. This is the arithmetic; the dialog
// applies it to the controls.

// The controls that stay attached to the bottom edge, in the order their places are recorded:
// the Presets frame, Save, Delete, the preset combo, the tempo slider, the Tempo label and the
// tempo edit.
inline constexpr int kAnchorCount = 7;
inline constexpr std::array<int, kAnchorCount> kAnchoredControlIds = {
    kIdPresetsFrame, kIdSavePreset, kIdDeletePreset, kIdPresetCombo,
    kIdTempoSlider,  kIdTempoLabel, kIdTempoEdit};
inline constexpr int kFoldingRows = 9;
// The smallest outer height the window may be given, frame included.
inline constexpr int kMinWindowHeight = 180;
// Rows as stored: -1 shows only the Custom help, -2 nothing that folds.
inline constexpr int kFewestStoredRows = -2;

// What is shown at one window height.
struct FoldState {
  int visibleRows = kFoldingRows;  // voice rows 1..visibleRows shown; ≤ 0 means none
  bool headerShown = true;         // Volume and Voices headings and the Blink check box
  bool helpShown = true;           // the Custom help text and its frame

  bool operator==(const FoldState&) const = default;
};

// The geometry recorded from the window as created from its template, and what follows from it.
// All lengths are pixels; "outer" sizes include the window frame.
struct SizingLayout {
  int m_bottomReserve = 0;  // bottom band held by the anchored controls, plus 1
  int m_fullHeight = 0;     // outer height at capture
  int m_minHeight = kMinWindowHeight;
  int m_fullWidth = 0;                             // outer width at capture
  int m_rowPitch = 0;                              // distance between two voice rows
  std::array<int, kAnchorCount> m_anchorBottom{};  // client bottom up to the control's top
  std::array<int, kAnchorCount> m_anchorLeft{};
  std::array<int, kAnchorCount> m_anchorWidth{};
  std::array<int, kAnchorCount> m_anchorHeight{};
  bool m_layoutReady = false;
  // Frame thickness (outer minus client size) the outer sizes above were measured with.
  Size m_frame;

  // Records the layout. anchors are the anchored controls' places in client coordinates, in
  // the order of kAnchoredControlIds; firstRowTop and secondRowTop the tops of voice 1's and
  // voice 2's volume sliders.
  void Capture(Size client, Size frame, const std::array<Rect, kAnchorCount>& anchors,
               int firstRowTop, int secondRowTop);

  // The window manager may add or change the frame after the layout was captured (an X11 frame
  // is only known once the window is mapped). The captured outer sizes follow, so the window
  // keeps its client area and the thresholds stay where they were.
  void FrameChanged(Size frame);

  // The window moved to a screen of another pixel density and the platform rescaled its
  // controls and client area by numerator / denominator: the client-area lengths follow (the
  // frame is measured anew by FrameChanged; the least height stays 180 pixels).
  void Rescale(int numerator, int denominator);

  // The limits once the layout is captured: fixed width, height from 180 (never more than the
  // full height) to the full height.
  SizeLimits Limits() const;

  // What is shown at this outer height.
  FoldState FoldAt(int outerHeight) const;

  // The rows shown at this outer height as they are stored: 9 at full height, down to
  // kFewestStoredRows when nothing folding is left.
  int StoredRowsAt(int outerHeight) const;
  // The client height that shows these rows (a stored value) in this layout: the full height
  // less whole row pitches, so no band is left below the last row shown.
  int ClientHeightForRows(int rows) const;

  // Where anchored control k goes in a client area this tall.
  Rect AnchorPlace(int k, int clientHeight) const;

  // The bottom band to repaint after a size change to clientHeight: reserve pixels high, reaching
  // further up by the growth since the previous size change (previousClientHeight, which is
  // updated). Spans the given client width.
  Rect RepaintBand(int clientWidth, int clientHeight, int& previousClientHeight) const;
};

// Number of voice rows hidden at an outer height: the k-th row from the bottom goes once the
// window is k × pitch − pitch / 2 − 5 pixels shorter than its full height. Signed; a window
// taller than its full height gives 0 or less.
int HiddenRows(int rowPitch, int fullHeight, int outerHeight);

}  // namespace ticktavo
