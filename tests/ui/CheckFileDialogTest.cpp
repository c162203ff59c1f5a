#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>

#include "tests/ui/MainWindowFixture.h"
#include "ui/CheckFileDialog.h"
#include "ui/LowMemoryDialog.h"
#include "tests/support/Sitemaps.h"
#include "ui/ResultTableModel.h"

namespace tallyvane::ui::testing {
namespace {

using Texts = std::vector<std::string>;

TEST_F(MainWindowTest, CheckFileDialogRefusesWhatItCannotCheckAndStartsOnReturn) {
  settings.recentInputFiles = {"/old/list.txt"};
  window().menus().checkFile->trigger();
  auto* dialog = window().findChild<CheckFileDialog*>();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowTitle(), "Check URLs");
  EXPECT_TRUE(dialog->fileField()->currentText().isEmpty());
  EXPECT_EQ(dialog->fileField()->itemText(0), "/old/list.txt");

  QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
  EXPECT_EQ(takeMessages(*dialog), Texts{"Error: Please, enter an input filename"});
  dialog->fileField()->setEditText(QString::fromStdString((scratch / "absent.txt").string()));
  QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
  EXPECT_EQ(takeMessages(*dialog), Texts{"Error: Input file does not exist!"});
  EXPECT_TRUE(dialog->isVisible());

  const std::filesystem::path list = scratch.write("urls.txt", server.url("/a") + "\n");
  dialog->fileField()->setEditText("  " + QString::fromStdString(list.string()) + "  ");
  QTest::keyClick(dialog->fileField()->lineEdit(), Qt::Key_Return);
  ASSERT_TRUE(waitForCrawlEnd());
  EXPECT_EQ(takeMessages(window()), Texts{"Success: Tallyvane has finished checking all URLs"});
  EXPECT_EQ(window().resultModel()->rowCount(), 1);
  EXPECT_EQ(settings.recentInputFiles, (std::vector<std::string>{list.string(), "/old/list.txt"}));
}

TEST_F(MainWindowTest, CheckFileDialogTakesTheUrlOfASitemapIndex) {
  const auto serve = [this](const std::string& path, const std::string& body) {
    server.route(path, [body](const demo::ReceivedRequest& r) { return demo::reply(r, "HTTP/1.1 200 OK", {}, body); });
  };
  serve("/sitemap_index.xml", tallyvane::testing::sitemapIndexOf({server.url("/pages.xml.gz")}));
  serve("/pages.xml.gz", tallyvane::testing::gzipped(tallyvane::testing::urlsetOf({server.url("/a"), server.url("/b")})));
  window().menus().checkFile->trigger();
  auto* dialog = window().findChild<CheckFileDialog*>();
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(dialog->fileField()->lineEdit()->placeholderText().isEmpty());
  const std::string index = server.url("/sitemap_index.xml");
  dialog->fileField()->setEditText(QString::fromStdString(index));
  QTest::mouseClick(dialog->startButton(), Qt::LeftButton);
  ASSERT_TRUE(waitForCrawlEnd());
  EXPECT_EQ(takeMessages(window()), Texts{"Success: Tallyvane has finished checking all URLs"});
  EXPECT_EQ(window().resultModel()->rowCount(), 2);
  EXPECT_EQ(server.requestCount("/pages.xml.gz"), 1u);
  EXPECT_EQ(settings.recentInputFiles.front(), index);
}

TEST_F(MainWindowTest, FileDialogsOpenInTheFolderLastUsedUnlessTheirFieldNamesAFile) {
  // The folder the next file dialog opens in, which is then cancelled.
  const auto folderOpenedBy = [](QPushButton* browse) {
    QString folder;
    whenModalOpens<QFileDialog>([&](QFileDialog* dialog) {
      folder = dialog->directory().absolutePath();
      dialog->reject();
    });
    QTest::mouseClick(browse, Qt::LeftButton);
    return std::filesystem::path(folder.toStdString());
  };
  const auto button = [](QWidget* dialog, const char* name) {
    for (auto* found : dialog->findChildren<QPushButton*>()) {
      if (found->accessibleName() == name) return found;
    }
    ADD_FAILURE() << "no button " << name;
    return static_cast<QPushButton*>(nullptr);
  };
  std::filesystem::create_directory(scratch / "kept");
  answerFileDialog(scratch / "kept" / "run.tvl");
  window().menus().saveResults->trigger();
  ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(scratch / "kept" / "run.tvl"); }));
  ASSERT_TRUE(waitUntil([&] { return window().progressWindow() == nullptr; }));

  window().menus().checkFile->trigger();
  auto* check = window().findChild<CheckFileDialog*>();
  ASSERT_NE(check, nullptr);
  EXPECT_EQ(folderOpenedBy(button(check, kChooseInputFileTitle)), scratch / "kept");
  check->reject();

  // The low-memory report's field already names a file: its dialog opens beside it.
  std::filesystem::create_directory(scratch / "lists");
  window().menus().checkLowMemory->trigger();
  auto* lowMemory = window().findChild<LowMemoryDialog*>();
  ASSERT_NE(lowMemory, nullptr);
  EXPECT_EQ(folderOpenedBy(button(lowMemory, kChooseInputFileTitle)), scratch / "kept");  // its field is empty
  lowMemory->findChild<QComboBox*>()->setEditText(QString::fromStdString((scratch / "lists" / "urls.txt").string()));
  EXPECT_EQ(folderOpenedBy(button(lowMemory, "Choose Output File")), scratch / "lists");
  lowMemory->reject();
}

}  // namespace
}  // namespace tallyvane::ui::testing
