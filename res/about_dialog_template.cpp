#include "res/about_dialog_template.h"

#include <array>

#include "res/resource_ids.h"

namespace ticktavo {

namespace {

using K = ControlKind;

constexpr std::array<ControlTemplate, 6> kAboutControls = {{
    {kIdStaticText, K::kIconStatic, "", 18, 8, 20, 20, kStyleNone, kIdAppIcon},
    {kIdAboutVersion, K::kStaticText, "Ticktavo", 42, 7, 112, 8, kStyleGroup, 0},
    {kIdStaticText, K::kStaticText, "Copyright (C) 2026 Quelbrand", 42, 17, 111, 8, kStyleGroup, 0},
    // The default button of the box: Enter presses it.
    {kIdOk, K::kPushButton, "OK", 61, 32, 44, 14, kStyleTabStop | kStyleGroup, 0},
    {kIdStaticText, K::kStaticText, "For updates and news visit", 42, 51, 85, 8, kStyleGroup, 0},
    {kIdAboutLink, K::kStaticText, "", 13, 61, 141, 8, kStyleGroup | kStyleNotify, 0},
}};

const DialogTemplate kAboutDialog = {
    kIdAboutDialog,
    "About Ticktavo",
    "MS Sans Serif",
    8,
    167,
    74,
    kDialogCaption | kDialogSystemMenu | kDialogModalFrame,
    kAboutControls,
};

}  // namespace

const DialogTemplate& AboutDialogTemplate() {
  return kAboutDialog;
}

}  // namespace ticktavo
