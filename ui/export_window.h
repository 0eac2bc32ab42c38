#pragma once

#include <optional>
#include <string>

#include <QDialog>
#include <QString>

#include "dialog/export_dialog.h"
#include "ui/qt_controls.h"

namespace ticktavo {

// The Export Click Track box in Qt: template 105's controls as widgets, the core's
// ExportDialog over them, the file chooser, and the wake that brings the export's progress to
// the window's thread (a queued call; the export's thread never touches a widget). Modal to
// its owner; while it is open its event loop keeps serving the timing thread, so playing goes
// on.
class ExportWindow final : public QDialog, public ExportHost {
  Q_OBJECT

 public:
  // `choices` fill the box and keep what was exported; owner is the main window.
  ExportWindow(const ClickProgram& program, ExportChoices& choices, QWidget* owner,
               ClickExporter exporter = ExportClickTrack);
  ~ExportWindow() override;

  // Where a click track goes unless the user says otherwise: the Music folder, else home.
  static QString DefaultFolder();

  ExportDialog& Dialog() { return m_dialog; }
  QWidget* Control(int id) const { return m_controls.Control(id); }
  template <class T>
  T* Get(int id) const {
    return static_cast<T*>(Control(id));
  }

  // ExportHost.
  MessageResult ShowMessageBox(std::string_view caption, std::string_view text, MessageIcon icon,
                               MessageButtons buttons) override;
  std::optional<std::string> ChooseSaveFile(std::string_view current,
                                            ClickFileFormat format) override;
  void EndDialog(bool exported) override { done(exported ? Accepted : Rejected); }
  void RequestWake() override;

 public slots:
  // Escape and the close box: the core closes the box, or stops the export first (the close
  // box is then refused until the export has ended).
  void reject() override { m_dialog.OnCancel(); }

 private:
  void ConnectHandlers();

  QtControls m_controls;
  ExportDialog m_dialog;
};

}  // namespace ticktavo
