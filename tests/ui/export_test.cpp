// The Export Click Track box on the real widgets with the real export: writing a file while
// the window's thread stays free, Escape in the middle of a long export leaving no file
// behind, and the context-menu item that opens it.

#include <filesystem>

#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "res/export_dialog_template.h"
#include "res/resource_ids.h"
#include "rhythm/measure_parser.h"
#include "store/store_test_support.h"
#include "ui/about_window.h"
#include "ui/export_window.h"

namespace ticktavo::testing {
namespace {

std::vector<std::string> Names(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

class ExportWindowTest : public ::testing::Test {
 protected:
  void Open(ExportChoices& choices) {
    ClickProgram program;
    ASSERT_EQ(ParseCustomMeasure("31212012121", program.measure), MeasureParseResult::Ok);
    program.bpm = 120;
    m_box = std::make_unique<ExportWindow>(program, choices, nullptr);
    m_box->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_box.get()));
  }
  void Export(const std::filesystem::path& file) {
    QLineEdit* name = m_box->Get<QLineEdit>(kIdExportFile);
    name->selectAll();
    QTest::keyClicks(name, QString::fromStdString(file.string()));
    QTest::keyClick(name, Qt::Key_Return);  // Enter exports from any field
  }

  test::TempFolder m_folder;
  std::unique_ptr<ExportWindow> m_box;
};

TEST_F(ExportWindowTest, EnterExportsAndTheBoxClosesWhenTheFileIsWritten) {
  ExportChoices choices;
  choices.measures = 2;
  Open(choices);
  EXPECT_EQ(m_box->Get<QLineEdit>(kIdExportMeasures)->text(), QStringLiteral("2"));
  const std::filesystem::path file = m_folder.path() / "click.wav";
  Export(file);
  // The export's thread reports through queued calls, served by this (the window's) loop.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !m_box->isVisible(); }, 20000));
  EXPECT_EQ(m_box->result(), QDialog::Accepted);
  EXPECT_EQ(Names(m_folder.path()), std::vector<std::string>{"click.wav"});
  // 22 beats of half a second at 48 kHz, 16-bit stereo, after a 44-byte header.
  EXPECT_GE(std::filesystem::file_size(file), 44u + 22u * 24000u * 4u);
  EXPECT_EQ(choices.file, file.string());
}

TEST_F(ExportWindowTest, EscapeDuringALongExportStopsItAndLeavesNoFile) {
  ExportChoices choices;
  choices.measures = 9999;  // 15 hours
  choices.format = ClickFileFormat::kFlac16;
  Open(choices);
  Export(m_folder.path() / "long.flac");
  auto* progress = m_box->Get<QProgressBar>(kIdExportProgress);
  // The window's thread is free: the progress comes in while the export runs.
  ASSERT_TRUE(QTest::qWaitFor([&] { return progress->value() > 0; }, 20000));
  EXPECT_FALSE(m_box->Get<QPushButton>(kIdExportOk)->isEnabled());
  EXPECT_TRUE(m_box->isVisible());
  QTest::keyClick(m_box.get(), Qt::Key_Escape);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !m_box->isVisible(); }, 20000));
  EXPECT_EQ(m_box->result(), QDialog::Rejected);
  EXPECT_TRUE(Names(m_folder.path()).empty());
}

// The window's context menu lists Export after About and sends its command.
TEST(ExportMenuTest, TheContextMenuSendsTheExportCommand) {
  QWidget window;
  std::vector<unsigned> commands;
  new WindowMenu(window, [&](unsigned command) { commands.push_back(command); });
  QStringList items;
  QTimer pick;
  QObject::connect(&pick, &QTimer::timeout, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr || !menu->isVisible()) return;
    pick.stop();
    for (QAction* action : menu->actions()) items << action->text();
    menu->setActiveAction(menu->actions().back());
    QTest::keyClick(menu, Qt::Key_Return);
  });
  pick.start(5);
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), QPoint(2, 2));
  QApplication::sendEvent(&window, &event);
  EXPECT_EQ(items,
            (QStringList{QStringLiteral("&About Ticktavo..."), QStringLiteral("&Practice..."),
                         QStringLiteral("&Export Click Track...")}));
  EXPECT_EQ(commands, std::vector<unsigned>{kIdExportCommand});
}

}  // namespace
}  // namespace ticktavo::testing
