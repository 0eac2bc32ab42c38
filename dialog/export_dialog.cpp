#include "dialog/export_dialog.h"

#include <sys/resource.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

#include "engine/realtime.h"
#include "res/export_dialog_template.h"

namespace ticktavo {

namespace {

// A background job: the export never takes the processor from the timing thread or the
// window, whatever priority the program was started with.
constexpr int kExportNice = 10;

std::string_view Extension(ClickFileFormat format) {
  return format == ClickFileFormat::kFlac16 || format == ClickFileFormat::kFlac24 ? ".flac"
                                                                                  : ".wav";
}

std::string_view ListName(ClickFileFormat format) {
  return format == ClickFileFormat::kFlac16 ? "FLAC" : FormatName(format);
}

// The place of `value` in the list, or of `fallback` when it is not listed.
template <class T, std::size_t N>
int IndexOf(const std::array<T, N>& list, T value, T fallback) {
  auto it = std::find(list.begin(), list.end(), value);
  if (it == list.end()) it = std::find(list.begin(), list.end(), fallback);
  return static_cast<int>(it - list.begin());
}

// The measures field: digits only (the field takes no others), 1..9999.
std::optional<int> ReadMeasures(const std::string& text) {
  if (text.empty() || text.size() > 4) return std::nullopt;
  if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  const int measures = std::stoi(text);
  if (measures < kMinExportMeasures || measures > kMaxExportMeasures) return std::nullopt;
  return measures;
}

std::string Trimmed(const std::string& text) {
  const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  const auto first = std::find_if_not(text.begin(), text.end(), blank);
  const auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
  return first < last ? std::string(first, last) : std::string();
}

std::string Duration(std::int64_t seconds) {
  char text[48];
  if (seconds >= 3600) {
    std::snprintf(text, sizeof text, "%lld h %02lld min %02lld s",
                  static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
                  static_cast<long long>(seconds % 60));
  } else if (seconds >= 60) {
    std::snprintf(text, sizeof text, "%lld min %02lld s", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
  } else {
    std::snprintf(text, sizeof text, "%lld s", static_cast<long long>(seconds));
  }
  return text;
}

}  // namespace

// What the window's thread and the export's thread share. The export's thread writes the
// progress and, last, the result; `finished` publishes the result.
struct ExportDialog::Job {
  std::atomic<bool> cancel{false};
  std::atomic<int> progress{0};  // 0..kProgressSteps
  std::atomic<bool> wakePending{false};
  std::atomic<bool> finished{false};
  ExportResult result;
  bool cancelling = false;  // window's thread: the user asked to stop
  std::thread thread;

  // Export's thread: one wake at a time; OnWake clears the flag before it looks.
  void Wake(ExportHost& host) {
    if (!wakePending.exchange(true, std::memory_order_acq_rel)) host.RequestWake();
  }
};

ExportDialog::ExportDialog(DialogControls& controls, ExportHost& host, const ClickProgram& program,
                           ExportChoices& choices, std::filesystem::path defaultFolder,
                           ClickExporter exporter)
    : m_controls(controls),
      m_host(host),
      m_program(program),
      m_choices(choices),
      m_defaultFolder(std::move(defaultFolder)),
      m_exporter(std::move(exporter)) {}

ExportDialog::~ExportDialog() {
  if (!m_job) return;
  m_job->cancel.store(true, std::memory_order_relaxed);
  m_job->thread.join();
}

std::filesystem::path ExportDialog::FileFor(const std::string& typed, ClickFileFormat format,
                                            const std::filesystem::path& folder) {
  std::filesystem::path file(typed);
  if (file.is_relative()) file = folder / file;
  if (!file.has_filename()) return file;  // a folder: the writer says so
  if (FormatForFile(file)) {
    file.replace_extension(Extension(format));
  } else {
    file += Extension(format);
  }
  return file;
}

std::string ExportDialog::Summary(const ClickProgram& program, int measures) {
  const int beats = ExportedBeatsPerMeasure(program);
  std::string text = std::to_string(beats) + (beats == 1 ? " beat" : " beats") + " a measure ";
  if (program.practice.trainer) {
    text += "from " + std::to_string(program.bpm) + " BPM, the speed trainer going to " +
            std::to_string(program.practice.Clamped().trainerTarget) + " BPM.";
  } else {
    // The grid's length to the nearest second; a last sound may ring a little longer.
    const std::int64_t frames =
        BeatFrame(static_cast<std::int64_t>(measures) * beats, kDefaultExportRate, program.bpm);
    text += "at " + std::to_string(program.bpm) + " BPM: " + std::to_string(measures) +
            (measures == 1 ? " measure lasts " : " measures last ") +
            Duration((frames + kDefaultExportRate / 2) / kDefaultExportRate) + ".";
  }
  if (program.practice.mute) {
    const PracticeSettings practice = program.practice.Clamped();
    text += " Muted measures: " + std::to_string(practice.mutePlayed) + " played, " +
            std::to_string(practice.muteSilent) + " silent.";
  }
  return text;
}

// --- Opening ---

void ExportDialog::OnInitDialog() {
  m_controls.SetRange(kIdExportMeasuresUpDown, kMinExportMeasures, kMaxExportMeasures);
  const int measures = std::clamp(m_choices.measures, kMinExportMeasures, kMaxExportMeasures);
  m_controls.SetPosition(kIdExportMeasuresUpDown, measures);
  m_controls.SetText(kIdExportMeasures, std::to_string(measures));

  for (int rate : kExportRates) {
    m_controls.InsertItem(kIdExportRate, -1, std::to_string(rate) + " Hz");
  }
  m_controls.SetSelection(kIdExportRate,
                          IndexOf(kExportRates, m_choices.sampleRate, kDefaultExportRate));
  for (ClickFileFormat format : kExportFormats) {
    m_controls.InsertItem(kIdExportFormat, -1, ListName(format));
  }
  m_controls.SetSelection(kIdExportFormat,
                          IndexOf(kExportFormats, m_choices.format, kExportFormats[0]));

  const std::string file = m_choices.file.empty() ? "click track" : m_choices.file;
  m_controls.SetText(kIdExportFile, FileFor(file, SelectedFormat(), m_defaultFolder).string());

  m_controls.SetRange(kIdExportProgress, 0, kProgressSteps);
  m_controls.SetPosition(kIdExportProgress, 0);
  m_controls.SetText(kIdExportStatus, "");
  ShowSummary();
  m_controls.SetDefaultButton(kIdExportOk);
  m_controls.SetFocus(kIdExportMeasures);
}

// --- The user's actions ---

void ExportDialog::OnCommand(int id, Notification code) {
  if (id == kIdExportCancel && code == Notification::kClicked) {
    OnCancel();
    return;
  }
  if (m_job) return;  // the choices are fixed until the export ends
  switch (id) {
    case kIdExportOk:
      if (code == Notification::kClicked) OnExport();
      break;
    case kIdExportBrowse:
      if (code == Notification::kClicked) OnBrowse();
      break;
    case kIdExportFormat:
      if (code == Notification::kSelChange) OnFormatChanged();
      break;
    case kIdExportMeasures:
      if (code == Notification::kChanged) ShowSummary();
      break;
    default:
      break;
  }
}

void ExportDialog::OnUpDownStep(int id, int delta) {
  if (id != kIdExportMeasuresUpDown || m_job) return;
  const std::optional<int> typed = ReadMeasures(m_controls.Text(kIdExportMeasures));
  const int from = typed ? *typed : m_controls.Position(id);
  const int to = std::clamp(from + delta, kMinExportMeasures, kMaxExportMeasures);
  m_controls.SetPosition(id, to);
  m_controls.SetText(kIdExportMeasures, std::to_string(to));
  ShowSummary();
}

void ExportDialog::OnCancel() {
  if (!m_job) {
    m_host.EndDialog(false);
    return;
  }
  // The box closes once the export's thread has removed its file and ended (OnWake).
  m_job->cancelling = true;
  m_job->cancel.store(true, std::memory_order_relaxed);
  m_controls.SetEnabled(kIdExportCancel, false);
  m_controls.SetText(kIdExportStatus, "Cancelling...");
}

void ExportDialog::OnFormatChanged() {
  // A name that shows a format follows the chosen one.
  const std::string text = m_controls.Text(kIdExportFile);
  std::filesystem::path file(text);
  if (!FormatForFile(file)) return;
  file.replace_extension(Extension(SelectedFormat()));
  m_controls.SetText(kIdExportFile, file.string());
}

void ExportDialog::OnBrowse() {
  const ClickFileFormat format = SelectedFormat();
  const std::filesystem::path current =
      FileFor(Trimmed(m_controls.Text(kIdExportFile)), format, m_defaultFolder);
  const std::optional<std::string> chosen = m_host.ChooseSaveFile(current.string(), format);
  if (!chosen || chosen->empty()) return;
  const std::filesystem::path file = FileFor(*chosen, format, m_defaultFolder);
  // The chooser asked about replacing the file it was given, not about another name.
  m_chosen = file == std::filesystem::path(*chosen) ? file : std::filesystem::path();
  m_controls.SetText(kIdExportFile, file.string());
}

void ExportDialog::ShowSummary() {
  const std::optional<int> measures = ReadMeasures(m_controls.Text(kIdExportMeasures));
  m_controls.SetText(kIdExportSummary, measures ? Summary(m_program, *measures)
                                                : "The number of measures is 1 to 9999.");
}

ClickFileFormat ExportDialog::SelectedFormat() const {
  const int position = m_controls.Selection(kIdExportFormat);
  return position >= 0 && position < static_cast<int>(kExportFormats.size())
             ? kExportFormats[static_cast<std::size_t>(position)]
             : kExportFormats[0];
}

int ExportDialog::SelectedRate() const {
  const int position = m_controls.Selection(kIdExportRate);
  return position >= 0 && position < static_cast<int>(kExportRates.size())
             ? kExportRates[static_cast<std::size_t>(position)]
             : kDefaultExportRate;
}

void ExportDialog::EnableChoices(bool enabled) {
  for (int id : {kIdExportMeasures, kIdExportMeasuresUpDown, kIdExportRate, kIdExportFormat,
                 kIdExportFile, kIdExportBrowse, kIdExportOk}) {
    m_controls.SetEnabled(id, enabled);
  }
  m_controls.SetEnabled(kIdExportCancel, true);
}

void ExportDialog::Error(std::string_view text) {
  m_host.ShowMessageBox(kErrorCaption, text, MessageIcon::kError, MessageButtons::kOk);
}

// --- The export ---

void ExportDialog::OnExport() {
  const std::optional<int> measures = ReadMeasures(m_controls.Text(kIdExportMeasures));
  if (!measures) {
    Error("The number of measures must be from 1 to 9999.");
    m_controls.SetFocus(kIdExportMeasures);
    return;
  }
  const std::string typed = Trimmed(m_controls.Text(kIdExportFile));
  if (typed.empty()) {
    Error("Choose the file to export to.");
    m_controls.SetFocus(kIdExportFile);
    return;
  }
  ExportOptions options;
  options.measures = *measures;
  options.sampleRate = SelectedRate();
  options.format = SelectedFormat();
  const std::filesystem::path file = FileFor(typed, options.format, m_defaultFolder);
  m_controls.SetText(kIdExportFile, file.string());
  std::error_code error;
  if (file != m_chosen && std::filesystem::is_regular_file(file, error)) {
    const MessageResult answer = m_host.ShowMessageBox(
        kReplaceCaption, file.string() + " already exists.\nDo you want to replace it?",
        MessageIcon::kQuestion, MessageButtons::kYesNo);
    if (answer != MessageResult::kYes) return;
  }
  m_choices = ExportChoices{options.measures, options.sampleRate, options.format, file.string()};

  EnableChoices(false);
  m_controls.SetPosition(kIdExportProgress, 0);
  m_controls.SetText(kIdExportStatus, "Exporting...");
  m_job = std::make_unique<Job>();
  Job& job = *m_job;
  ExportHost& host = m_host;
  job.thread =
      std::thread([&job, &host, exporter = m_exporter, file, program = m_program, options] {
        (void)setpriority(PRIO_PROCESS, static_cast<id_t>(CurrentThreadId()), kExportNice);
        job.result =
            exporter(file, program, options, [&job, &host](std::int64_t done, std::int64_t total) {
              const std::int64_t part = total > 0 ? std::clamp<std::int64_t>(done, 0, total) : 0;
              const int step = total > 0 ? static_cast<int>(part * kProgressSteps / total) : 0;
              if (job.progress.exchange(step, std::memory_order_relaxed) != step) job.Wake(host);
              return !job.cancel.load(std::memory_order_relaxed);
            });
        job.finished.store(true, std::memory_order_release);
        job.Wake(host);
      });
}

void ExportDialog::OnWake() {
  if (!m_job) return;
  // Cleared before looking: news that comes after this wakes the window again. The exchange
  // pairs with the export's own, so a result it did not wake for is seen here.
  m_job->wakePending.exchange(false, std::memory_order_acq_rel);
  const bool finished = m_job->finished.load(std::memory_order_acquire);
  const int step = m_job->progress.load(std::memory_order_relaxed);
  m_controls.SetPosition(kIdExportProgress, step);
  if (!finished) {
    if (!m_job->cancelling) {
      m_controls.SetText(kIdExportStatus, "Exporting... " + std::to_string(step / 10) + " %");
    }
    return;
  }
  m_job->thread.join();
  const std::unique_ptr<Job> job = std::move(m_job);
  Finish(*job);
}

void ExportDialog::Finish(Job& job) {
  const ExportResult& result = job.result;
  if (result.ok) {
    m_controls.SetText(kIdExportStatus, "Exported.");
    m_host.EndDialog(true);
    return;
  }
  if (job.cancelling || result.cancelled) {
    m_host.EndDialog(false);
    return;
  }
  m_controls.SetPosition(kIdExportProgress, 0);
  m_controls.SetText(kIdExportStatus, "");
  EnableChoices(true);
  std::string reason = result.error;
  if (!reason.empty())
    reason[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(reason[0])));
  Error("The click track could not be exported.\n\n" + reason + ".");
}

}  // namespace ticktavo
