#pragma once

#include <array>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "dialog/dialog_controls.h"
#include "dialog/metronome_dialog.h"
#include "dialog/window_host.h"
#include "export/click_track.h"

namespace ticktavo {

// What the user chose in the export box, kept by the window from one opening to the next.
struct ExportChoices {
  int measures = kDefaultExportMeasures;
  int sampleRate = kDefaultExportRate;
  ClickFileFormat format = ClickFileFormat::kWav16;
  std::string file;  // empty: a name in the default folder

  bool operator==(const ExportChoices&) const = default;
};

// The rates and formats the box lists, in list order.
inline constexpr std::array<int, 2> kExportRates = {44100, 48000};
inline constexpr std::array<ClickFileFormat, 3> kExportFormats = {
    ClickFileFormat::kWav16, ClickFileFormat::kWav24, ClickFileFormat::kFlac16};

// What belongs to the box's window and the platform, as the export box asks for it. Window's
// thread only, RequestWake aside.
class ExportHost {
 public:
  // A modal box owned by the export box.
  virtual MessageResult ShowMessageBox(std::string_view caption, std::string_view text,
                                       MessageIcon icon, MessageButtons buttons) = 0;
  // The platform's file chooser for saving a file of `format`, starting at `current`. The
  // chooser itself asks before an existing file is picked. Nothing when the user cancels.
  virtual std::optional<std::string> ChooseSaveFile(std::string_view current,
                                                    ClickFileFormat format) = 0;
  // Closes the box; `exported` tells whether a file was written.
  virtual void EndDialog(bool exported) = 0;
  // Any thread (the export's): asks the window's thread to call the box's OnWake soon, and
  // returns at once. Several requests may come as one call.
  virtual void RequestWake() = 0;

 protected:
  ~ExportHost() = default;
};

// Writes the click track (ExportClickTrack, or a stand-in in tests). Runs on the export's
// thread.
using ClickExporter =
    std::function<ExportResult(const std::filesystem::path& file, const ClickProgram& program,
                               const ExportOptions& options, const ExportProgress& progress)>;

// The Export Click Track box as behaviour, over the controls of template 105: the number of
// measures, the sample rate, the format and the file; Export writes what the main window would
// play now (the program it was opened with) into the file.
//
// The export runs on a thread of its own, at a low priority so that it never competes with the
// beat. That thread touches no control: it keeps its progress and its result in the job and
// asks the host to wake the window's thread, where OnWake shows them. While it runs, only
// Cancel acts: it stops the export, which removes what it had written, and closes the box once
// the thread has ended. A finished export closes the box; a failed one says why in an error
// box and leaves the box open to try again.
class ExportDialog {
 public:
  static constexpr std::string_view kErrorCaption = "Export Error";
  static constexpr std::string_view kReplaceCaption = "Export Click Track";
  // The progress bar's range.
  static constexpr int kProgressSteps = 1000;

  // `choices` fill the box and receive what the user exported with; `defaultFolder` holds the
  // proposed file and any file typed without a folder. All must outlive the dialog.
  ExportDialog(DialogControls& controls, ExportHost& host, const ClickProgram& program,
               ExportChoices& choices, std::filesystem::path defaultFolder,
               ClickExporter exporter = ExportClickTrack);
  // Stops a running export and waits for its thread (which stops within one block of frames).
  ~ExportDialog();
  ExportDialog(const ExportDialog&) = delete;
  ExportDialog& operator=(const ExportDialog&) = delete;

  void OnInitDialog();
  void OnCommand(int id, Notification code);
  // The measures field's arrows stepped.
  void OnUpDownStep(int id, int delta);
  // Cancel, Escape and the close box: closes the box, or stops a running export first.
  void OnCancel();
  // The host woke the window's thread: shows the export's progress, and its end.
  void OnWake();

  bool IsExporting() const { return m_job != nullptr; }

  // The file written for a typed name: relative to `folder` unless absolute, ending in the
  // format's extension (".wav" or ".flac" replaces the other one; any other name gets it
  // added).
  static std::filesystem::path FileFor(const std::string& typed, ClickFileFormat format,
                                       const std::filesystem::path& folder);
  // One line on what is exported: the beats of a measure, the tempo, the practice tools, and
  // how long the measures last (without the speed trainer, which changes that as it goes).
  static std::string Summary(const ClickProgram& program, int measures);

 private:
  struct Job;

  void OnExport();
  void OnBrowse();
  void OnFormatChanged();
  void ShowSummary();
  ClickFileFormat SelectedFormat() const;
  int SelectedRate() const;
  // The fields and buttons that act only while no export runs.
  void EnableChoices(bool enabled);
  void Finish(Job& job);
  void Error(std::string_view text);

  DialogControls& m_controls;
  ExportHost& m_host;
  const ClickProgram m_program;
  ExportChoices& m_choices;
  const std::filesystem::path m_defaultFolder;
  ClickExporter m_exporter;
  // The file the chooser picked (and asked about replacing).
  std::filesystem::path m_chosen;
  std::unique_ptr<Job> m_job;
};

}  // namespace ticktavo
