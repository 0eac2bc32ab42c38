#pragma once

#include <string_view>

class QWidget;

namespace ticktavo {

enum class MessageIcon { kError, kQuestion };
enum class MessageButtons { kOk, kYesNo };
enum class MessageResult { kOk, kYes, kNo };

// A modal message box with this caption, text, icon and buttons, owned by the given window
// (centred on it and blocking it), or without owner when owner is null (before the main
// window exists). Returns the button pressed; closing a Yes/No box without answering is No.
MessageResult ShowMessageBox(QWidget* owner, std::string_view caption, std::string_view text,
                             MessageIcon icon, MessageButtons buttons);

}  // namespace ticktavo
