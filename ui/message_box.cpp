#include "ui/message_box.h"

#include <QMessageBox>
#include <QString>

namespace ticktavo {

namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

MessageResult ShowMessageBox(QWidget* owner, std::string_view caption, std::string_view text,
                             MessageIcon icon, MessageButtons buttons) {
  QMessageBox box(
      icon == MessageIcon::kError ? QMessageBox::Critical : QMessageBox::Question,
      FromUtf8(caption), FromUtf8(text),
      buttons == MessageButtons::kOk ? QMessageBox::Ok : (QMessageBox::Yes | QMessageBox::No),
      owner);
  // The texts are the program's own; none is markup.
  box.setTextFormat(Qt::PlainText);
  if (buttons == MessageButtons::kYesNo) {
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
  }
  box.setWindowModality(owner != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
  const int answer = box.exec();
  if (buttons == MessageButtons::kOk) return MessageResult::kOk;
  return answer == QMessageBox::Yes ? MessageResult::kYes : MessageResult::kNo;
}

}  // namespace ticktavo
