// The export box's behaviour over a table of controls: what it proposes, what it refuses, and
// the export on its own thread reporting to the window's thread only through wakes (the test
// is the window's thread: it waits for a wake, then calls OnWake as the window would). The
// exports are stand-ins that the test holds and releases; the real writer and its files are
// tested in tests/export, and the whole road in the window's test.

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <thread>
#include <tuple>

#include "dialog/export_dialog.h"
#include "dialog_rig.h"
#include "res/export_dialog_template.h"
#include "res/resource_ids.h"
#include "rhythm/measure_parser.h"
#include "store/store_test_support.h"

namespace ticktavo::testing {
namespace {

// The box's window as the core sees it. Boxes are answered from `answers` (No once empty).
class FakeExportHost final : public ExportHost {
 public:
  MessageResult ShowMessageBox(std::string_view caption, std::string_view text, MessageIcon icon,
                               MessageButtons buttons) override {
    return FakeHost::Answer(boxes, answers,
                            {std::string(caption), std::string(text), icon, buttons, true});
  }
  std::optional<std::string> ChooseSaveFile(std::string_view current,
                                            ClickFileFormat format) override {
    chooserStarts.emplace_back(current);
    chooserFormats.push_back(format);
    return chooserAnswer;
  }
  void EndDialog(bool exported) override { ended = exported; }
  void RequestWake() override {
    std::lock_guard lock(m_mutex);
    ++m_wakes;
    m_woken.notify_all();
  }

  // Waits for a wake after the last one taken; false after 10 s without one.
  bool TakeWake() {
    std::unique_lock lock(m_mutex);
    if (!m_woken.wait_for(lock, std::chrono::seconds(10), [this] { return m_wakes > m_taken; })) {
      return false;
    }
    m_taken = m_wakes;
    return true;
  }

  std::deque<MessageResult> answers;
  std::vector<FakeHost::Box> boxes;
  std::optional<std::string> chooserAnswer;
  std::vector<std::string> chooserStarts;
  std::vector<ClickFileFormat> chooserFormats;
  std::optional<bool> ended;

 private:
  std::mutex m_mutex;
  std::condition_variable m_woken;
  int m_wakes = 0;
  int m_taken = 0;
};

// A stand-in export: records what it was asked, reports half its work, then waits until the
// test lets it finish, or until it is cancelled, and returns `result`.
class HeldExport {
 public:
  ClickExporter Exporter() {
    return [this](const std::filesystem::path& file, const ClickProgram& program,
                  const ExportOptions& options, const ExportProgress& progress) {
      std::unique_lock lock(m_mutex);
      this->file = file;
      this->options = options;
      bpm = program.bpm;
      thread = std::this_thread::get_id();
      while (progress(500, 1000)) {
        if (m_released.wait_for(lock, std::chrono::milliseconds(1), [this] { return released; })) {
          return result;
        }
      }
      sawCancel = true;
      ExportResult cancelled;
      cancelled.cancelled = true;
      return cancelled;
    };
  }
  void Release() {
    std::lock_guard lock(m_mutex);
    released = true;
    m_released.notify_all();
  }

  // Read by the test once the export's thread has ended.
  ExportResult result;
  std::filesystem::path file;
  ExportOptions options;
  int bpm = 0;
  std::thread::id thread;
  bool released = false;
  std::atomic<bool> sawCancel{false};

 private:
  std::mutex m_mutex;
  std::condition_variable m_released;
};

ClickProgram DefaultCustomAt120() {
  ClickProgram program;
  EXPECT_EQ(ParseCustomMeasure("31212012121", program.measure), MeasureParseResult::Ok);
  program.bpm = 120;
  return program;
}

class ExportBoxTest : public ::testing::Test {
 protected:
  void Open(ClickProgram program = DefaultCustomAt120()) {
    m_dialog = std::make_unique<ExportDialog>(m_controls, m_host, program, m_choices,
                                              m_folder.path(), m_export.Exporter());
    m_dialog->OnInitDialog();
  }
  void Type(int id, std::string_view text) {
    m_controls.SetText(id, text);
    m_dialog->OnCommand(id, Notification::kChanged);
  }
  void Choose(int id, int position) {
    m_controls.SetSelection(id, position);
    m_dialog->OnCommand(id, Notification::kSelChange);
  }
  void Click(int id) { m_dialog->OnCommand(id, Notification::kClicked); }
  // Serves wakes as the window's thread does until the export has ended.
  bool RunUntilEnded() {
    while (m_dialog->IsExporting()) {
      if (!m_host.TakeWake()) return false;
      m_dialog->OnWake();
    }
    return true;
  }
  FakeControls::Control& At(int id) { return m_controls.At(id); }
  std::filesystem::path InFolder(std::string_view name) { return m_folder.path() / name; }

  test::TempFolder m_folder;
  FakeControls m_controls{ExportDialogTemplate()};
  FakeExportHost m_host;
  ExportChoices m_choices;
  HeldExport m_export;
  std::unique_ptr<ExportDialog> m_dialog;
};

TEST_F(ExportBoxTest, ProposesSixteenMeasuresAt48kHzAndSaysHowLongTheyLast) {
  Open();
  EXPECT_EQ(At(kIdExportMeasures).text, "16");
  EXPECT_EQ(At(kIdExportMeasuresUpDown).maximum, 9999);
  EXPECT_EQ(At(kIdExportRate).items, (std::vector<std::string>{"44100 Hz", "48000 Hz"}));
  EXPECT_EQ(At(kIdExportRate).selection, 1);
  EXPECT_EQ(At(kIdExportFormat).items,
            (std::vector<std::string>{"WAV 16-bit", "WAV 24-bit", "FLAC"}));
  EXPECT_EQ(At(kIdExportFormat).selection, 0);
  EXPECT_EQ(At(kIdExportFile).text, InFolder("click track.wav").string());
  // 16 × 11 beats of half a second: 88 s.
  EXPECT_EQ(At(kIdExportSummary).text,
            "11 beats a measure at 120 BPM: 16 measures last 1 min 28 s.");
  EXPECT_EQ(m_controls.defaultButton, kIdExportOk);

  // The arrows step from the typed number and stop at the ends.
  Type(kIdExportMeasures, "9998");
  m_dialog->OnUpDownStep(kIdExportMeasuresUpDown, 1);
  m_dialog->OnUpDownStep(kIdExportMeasuresUpDown, 1);
  EXPECT_EQ(At(kIdExportMeasures).text, "9999");
  // 9999 × 11 × 0.5 s = 54 994.5 s, to the nearest second.
  EXPECT_EQ(At(kIdExportSummary).text,
            "11 beats a measure at 120 BPM: 9999 measures last 15 h 16 min 35 s.");
}

TEST_F(ExportBoxTest, TheFileNameFollowsTheFormat) {
  const std::filesystem::path folder = "/music";
  const struct {
    const char* typed;
    ClickFileFormat format;
    const char* file;
  } cases[] = {
      {"take", ClickFileFormat::kWav16, "/music/take.wav"},
      {"sub/take", ClickFileFormat::kFlac16, "/music/sub/take.flac"},
      {"/tmp/take.WAV", ClickFileFormat::kFlac16, "/tmp/take.flac"},
      {"/tmp/take.flac", ClickFileFormat::kWav24, "/tmp/take.wav"},
      {"take.mp3", ClickFileFormat::kWav16, "/music/take.mp3.wav"},
      {"take.2", ClickFileFormat::kWav16, "/music/take.2.wav"},
      {"/tmp/", ClickFileFormat::kWav16, "/tmp/"},  // a folder: the writer refuses it
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExportDialog::FileFor(c.typed, c.format, folder), c.file) << c.typed;
  }

  // Choosing another format renames the proposed file; the chooser starts from it.
  Open();
  Choose(kIdExportFormat, 2);
  EXPECT_EQ(At(kIdExportFile).text, InFolder("click track.flac").string());
  m_host.chooserAnswer = "/elsewhere/take";
  Click(kIdExportBrowse);
  EXPECT_EQ(m_host.chooserStarts, std::vector<std::string>{InFolder("click track.flac")});
  EXPECT_EQ(m_host.chooserFormats, std::vector<ClickFileFormat>{ClickFileFormat::kFlac16});
  EXPECT_EQ(At(kIdExportFile).text, "/elsewhere/take.flac");
}

TEST_F(ExportBoxTest, RefusesWhatCannotBeExported) {
  std::ofstream(InFolder("old.wav")) << "an older take";
  const struct {
    const char* measures;
    const char* file;
    const char* box;  // the error box's text, or the question's
  } cases[] = {
      {"", "take", "The number of measures must be from 1 to 9999."},
      {"0", "take", "The number of measures must be from 1 to 9999."},
      {"10000", "take", "The number of measures must be from 1 to 9999."},
      {"16", "  ", "Choose the file to export to."},
      // Answered No: nothing is exported, and the older file stays.
      {"16", "old", nullptr},
  };
  Open();
  for (const auto& c : cases) {
    m_host.boxes.clear();
    Type(kIdExportMeasures, c.measures);
    Type(kIdExportFile, c.file);
    Click(kIdExportOk);
    EXPECT_FALSE(m_dialog->IsExporting()) << c.measures << " " << c.file;
    ASSERT_EQ(m_host.boxes.size(), 1u) << c.measures << " " << c.file;
    if (c.box != nullptr) {
      EXPECT_EQ(m_host.boxes[0].caption, "Export Error");
      EXPECT_EQ(m_host.boxes[0].text, c.box);
      EXPECT_EQ(m_host.boxes[0].icon, MessageIcon::kError);
    } else {
      EXPECT_EQ(m_host.boxes[0].text,
                InFolder("old.wav").string() + " already exists.\nDo you want to replace it?");
      EXPECT_EQ(m_host.boxes[0].buttons, MessageButtons::kYesNo);
    }
  }
  EXPECT_EQ(m_export.bpm, 0);  // never started
  EXPECT_FALSE(m_host.ended.has_value());

  // Picked in the chooser, which asked itself: no second question.
  m_host.boxes.clear();
  m_host.chooserAnswer = InFolder("old.wav").string();
  m_export.result.ok = true;
  Click(kIdExportBrowse);
  Click(kIdExportOk);
  EXPECT_TRUE(m_host.boxes.empty());
  EXPECT_TRUE(m_dialog->IsExporting());
  m_export.Release();
  EXPECT_TRUE(RunUntilEnded());
}

// The export runs on its own thread with the choices made; its progress reaches the controls
// only through the window's thread; a finished export closes the box and is remembered.
TEST_F(ExportBoxTest, ExportsOnItsOwnThreadAndShowsItsProgress) {
  Open();
  Type(kIdExportMeasures, "300");
  Choose(kIdExportRate, 0);
  Choose(kIdExportFormat, 1);
  Type(kIdExportFile, "ten minutes");
  m_export.result.ok = true;
  Click(kIdExportOk);

  ASSERT_TRUE(m_dialog->IsExporting());
  for (int id : {kIdExportMeasures, kIdExportRate, kIdExportFormat, kIdExportFile, kIdExportBrowse,
                 kIdExportOk}) {
    EXPECT_FALSE(At(id).enabled) << id;
  }
  EXPECT_TRUE(At(kIdExportCancel).enabled);
  // Nothing the export reports shows before the window's thread takes it.
  EXPECT_EQ(At(kIdExportProgress).position, 0);
  ASSERT_TRUE(m_host.TakeWake());
  m_dialog->OnWake();
  EXPECT_EQ(At(kIdExportProgress).position, 500);
  EXPECT_EQ(At(kIdExportStatus).text, "Exporting... 50 %");
  EXPECT_FALSE(m_host.ended.has_value());
  // The choices are fixed while it runs.
  Click(kIdExportOk);
  Click(kIdExportBrowse);
  EXPECT_TRUE(m_host.chooserStarts.empty());

  m_export.Release();
  ASSERT_TRUE(RunUntilEnded());
  EXPECT_EQ(m_host.ended, std::optional<bool>(true));
  EXPECT_NE(m_export.thread, std::this_thread::get_id());
  EXPECT_EQ(m_export.file, InFolder("ten minutes.wav"));
  EXPECT_EQ(std::tuple(m_export.options.measures, m_export.options.sampleRate,
                       m_export.options.format, m_export.bpm),
            std::tuple(300, 44100, ClickFileFormat::kWav24, 120));
  // The next opening starts from these choices.
  EXPECT_EQ(m_choices, (ExportChoices{300, 44100, ClickFileFormat::kWav24,
                                      InFolder("ten minutes.wav").string()}));
}

TEST_F(ExportBoxTest, CancelStopsTheExportAndClosesOnceItHasEnded) {
  Open();
  Click(kIdExportOk);
  ASSERT_TRUE(m_dialog->IsExporting());
  Click(kIdExportCancel);
  // Still running until the export sees the request and ends.
  EXPECT_FALSE(m_host.ended.has_value());
  EXPECT_FALSE(At(kIdExportCancel).enabled);
  EXPECT_EQ(At(kIdExportStatus).text, "Cancelling...");
  ASSERT_TRUE(RunUntilEnded());
  EXPECT_TRUE(m_export.sawCancel);
  EXPECT_EQ(m_host.ended, std::optional<bool>(false));
  EXPECT_TRUE(m_host.boxes.empty());

  // A box that goes mid-export waits for the thread, which sees the request and ends.
  Open();
  m_export.sawCancel = false;
  Click(kIdExportOk);
  m_dialog.reset();
  EXPECT_TRUE(m_export.sawCancel);
}

TEST_F(ExportBoxTest, AFailureIsShownAndTheBoxStaysOpen) {
  Open();
  m_export.result.error = "cannot write /music/click.wav: Permission denied";
  m_export.Release();
  Click(kIdExportOk);
  ASSERT_TRUE(RunUntilEnded());
  ASSERT_EQ(m_host.boxes.size(), 1u);
  EXPECT_EQ(m_host.boxes[0].caption, "Export Error");
  EXPECT_EQ(m_host.boxes[0].text,
            "The click track could not be exported.\n\nCannot write /music/click.wav: "
            "Permission denied.");
  EXPECT_FALSE(m_host.ended.has_value());
  EXPECT_TRUE(At(kIdExportOk).enabled);
  EXPECT_TRUE(At(kIdExportFile).enabled);
  EXPECT_EQ(At(kIdExportProgress).position, 0);
}

// --- From the main window ---

class ExportFromWindowTest : public DialogTest {
 protected:
  void SetUp() override { Open(); }
};

TEST_F(ExportFromWindowTest, OpensWithWhatPlayWouldPlayNow) {
  // Window commands 48 to 63; a custom measure is parsed from the text as Play would.
  Type(kIdTempoEdit, "120");
  Click(kIdCustom);
  Type(kIdCustomMeasure, "3(12)0");
  Dialog().OnSysCommand(kIdExportCommand + 15);
  ASSERT_EQ(m_host.exportBoxes.size(), 1u);
  const BeatFeed::Program& custom = m_host.exportBoxes[0];
  EXPECT_EQ(custom.bpm, 120);
  EXPECT_EQ(custom.measure.BeatsPerMeasure(), 3);
  EXPECT_FALSE(custom.measure.Slot(1).plain);
  EXPECT_EQ(custom.measure.Slot(1).chordCount, 2);
  EXPECT_EQ(custom.straightCount, 0);
  EXPECT_FALSE(Dialog().IsPlaying());

  // A text Play would refuse is refused with Play's message, and no box opens.
  Type(kIdCustomMeasure, "3(12");
  Dialog().OnSysCommand(kIdExportCommand);
  EXPECT_EQ(m_host.exportBoxes.size(), 1u);
  ASSERT_EQ(m_host.boxes.size(), 1u);
  EXPECT_EQ(m_host.boxes[0].caption, "Custom Measure Definition Error");

  // Straight style counts the beats field's number of beats as a measure; voices go along.
  Click(kIdStraight);
  Choose(kIdVoiceInstrument[0], 7);
  Dialog().OnSysCommand(kIdExportCommand);
  ASSERT_EQ(m_host.exportBoxes.size(), 2u);
  EXPECT_EQ(m_host.exportBoxes[1].straightCount, 4);
  EXPECT_EQ(m_host.exportBoxes[1].voices.m_instrument[0], Dialog().Voices().m_instrument[0]);
  EXPECT_EQ(m_host.aboutBoxes, 0);
}

}  // namespace
}  // namespace ticktavo::testing
