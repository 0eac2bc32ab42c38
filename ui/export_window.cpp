#include "ui/export_window.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>

#include "res/export_dialog_template.h"
#include "ui/metronome_window.h"
#include "ui/up_down_ctrl.h"

namespace ticktavo {

ExportWindow::ExportWindow(const ClickProgram& program, ExportChoices& choices, QWidget* owner,
                           ClickExporter exporter)
    : QDialog(owner),
      m_dialog(m_controls, *this, program, choices, DefaultFolder().toStdString(),
               std::move(exporter)) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setWindowModality(owner != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
  const DialogTemplate& dialogTemplate = ExportDialogTemplate();
  setWindowTitle(QString::fromUtf8(dialogTemplate.caption));
  m_controls.Attach(BuildDialog(dialogTemplate, *this, DialogUnitsFor(dialogTemplate, font())));
  // Each label names the field after it, and its mnemonic moves the focus there.
  for (const auto& [label, field] : {std::pair{kIdExportMeasuresLabel, kIdExportMeasures},
                                     std::pair{kIdExportRateLabel, kIdExportRate},
                                     std::pair{kIdExportFormatLabel, kIdExportFormat},
                                     std::pair{kIdExportFileLabel, kIdExportFile}}) {
    Get<QLabel>(label)->setBuddy(Control(field));
  }
  // Enter exports, whatever field has the focus.
  for (int id : {kIdExportOk, kIdExportCancel, kIdExportBrowse}) {
    Get<QPushButton>(id)->setAutoDefault(false);
  }
  setFixedSize(size());
  if (owner != nullptr) setWindowIcon(owner->windowIcon());
  ConnectHandlers();
  m_dialog.OnInitDialog();
}

ExportWindow::~ExportWindow() = default;

QString ExportWindow::DefaultFolder() {
  const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
  return !music.isEmpty() && QDir(music).exists() ? music : QDir::homePath();
}

void ExportWindow::ConnectHandlers() {
  const auto command = [this](int id, Notification code) {
    if (!m_controls.FromProgram()) m_dialog.OnCommand(id, code);
  };
  for (int id : {kIdExportOk, kIdExportCancel, kIdExportBrowse}) {
    connect(Get<QPushButton>(id), &QPushButton::clicked, this,
            [command, id] { command(id, Notification::kClicked); });
  }
  for (int id : {kIdExportRate, kIdExportFormat}) {
    connect(Get<QComboBox>(id), &QComboBox::activated, this,
            [command, id] { command(id, Notification::kSelChange); });
  }
  for (int id : {kIdExportMeasures, kIdExportFile}) {
    connect(Get<QLineEdit>(id), &QLineEdit::textChanged, this,
            [command, id] { command(id, Notification::kChanged); });
  }
  connect(Get<UpDownCtrl>(kIdExportMeasuresUpDown), &UpDownCtrl::Stepped, this,
          [this](int delta) { m_dialog.OnUpDownStep(kIdExportMeasuresUpDown, delta); });
}

MessageResult ExportWindow::ShowMessageBox(std::string_view caption, std::string_view text,
                                           MessageIcon icon, MessageButtons buttons) {
  return RunMessageBox(this, caption, text, icon, buttons);
}

std::optional<std::string> ExportWindow::ChooseSaveFile(std::string_view current,
                                                        ClickFileFormat format) {
  const bool flac = format == ClickFileFormat::kFlac16 || format == ClickFileFormat::kFlac24;
  const QString chosen = QFileDialog::getSaveFileName(
      this, windowTitle(), FromUtf8(current),
      flac ? QStringLiteral("FLAC files (*.flac)") : QStringLiteral("WAV files (*.wav)"));
  if (chosen.isEmpty()) return std::nullopt;
  return chosen.toStdString();
}

void ExportWindow::RequestWake() {
  // Any thread: a queued call runs on this window's thread, and is dropped with the window.
  QMetaObject::invokeMethod(
      this, [this] { m_dialog.OnWake(); }, Qt::QueuedConnection);
}

}  // namespace ticktavo
