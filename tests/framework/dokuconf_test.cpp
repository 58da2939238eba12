// Document links: start values, the reset of File > New, their file section and the start command.
#include <gtest/gtest.h>

#include "framework/dokuconf.h"
#include "framework/progvar.h"
#include "framework/textfile.h"
#include "tests/support/testutil.h"

namespace qern {
namespace {

class DocumentLinksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitProgramState();
    InitDocumentLinks();
  }

  std::string WriteSection() {
    const std::string name = dir_.File("links.txt");
    DataFile.Assign(name);
    EXPECT_TRUE(DataFile.Rewrite());
    WriteDocumentsSection();
    EXPECT_TRUE(DataFile.Close());
    return name;
  }

  bool ReadSection(const std::string& name, std::array<DocumentLink, DocumentLinkSlots>& links,
                   std::uint16_t& count) {
    Flags.AbortFlag = false;
    DataFile.Assign(name);
    EXPECT_TRUE(DataFile.Reset());
    bool ok = ReadDocumentsSection(links, count);
    DataFile.Close();
    return ok;
  }

  test::TempFolder dir_;
};

TEST_F(DocumentLinksTest, StartValuesAndNewKeepTheLinkTexts) {
  EXPECT_EQ(DocumentLinkCount, 5);
  EXPECT_EQ(DocumentLinks[0].Program, "notepad.exe");
  EXPECT_EQ(DocumentLinks[1].Program, "write.exe");
  EXPECT_EQ(DocumentLinks[2].Program, "mspaint.exe");
  EXPECT_EQ(DocumentLinks[4].Program, "notepad.exe");
  for (const DocumentLink& l : DocumentLinks) EXPECT_EQ(l.File, "");

  DocumentLinks[2] = {"gimp", "bild.png"};
  Session.CommentLines = {"a", "b", "c"};
  ResetDocumentLinks();
  EXPECT_EQ(DocumentLinkCount, 0);
  EXPECT_EQ(Session.CommentLines, (std::array<std::string, 3>{"", "", ""}));
  EXPECT_EQ(DocumentLinks[2].Program, "gimp");
  EXPECT_EQ(DocumentLinks[2].File, "bild.png");
}

TEST_F(DocumentLinksTest, SectionAlwaysListsFiveLinksAndReadsBack) {
  DocumentLinks[0] = {"/usr/bin/libreoffice", "/home/jörg/Prüfbericht.odt"};
  DocumentLinks[4] = {"", "Zeichnung Nr. 5.pdf"};
  ResetDocumentLinks();  // count 0: still five links written
  const std::string name = WriteSection();

  EXPECT_EQ(test::ReadWholeFile(name).substr(0, 40), "Dokumente\r\n5\r\n--------------------\r\n/usr");

  std::array<DocumentLink, DocumentLinkSlots> links;
  std::uint16_t count = 0;
  ASSERT_TRUE(ReadSection(name, links, count));
  EXPECT_EQ(count, 5);
  EXPECT_EQ(links, DocumentLinks);
}

TEST_F(DocumentLinksTest, FewerOrMoreLinksAndBrokenSections) {
  const std::string name = dir_.File("odd.txt");
  auto write = [&](const std::string& text) { test::WriteWholeFile(name, text); };
  std::array<DocumentLink, DocumentLinkSlots> links = DocumentLinks;
  std::uint16_t count = 9;

  write("Dokumente\r\n2\r\n----\r\nprog1\r\nfile1\r\n----\r\nprog2\r\nfile2\r\n----\r\nNEXT\r\n");
  ASSERT_TRUE(ReadSection(name, links, count));
  EXPECT_EQ(count, 2);
  EXPECT_EQ(links[1].File, "file2");
  EXPECT_EQ(links[2].Program, "mspaint.exe");  // untouched

  std::string seven = "Dokumente\r\n7\r\n----\r\n";
  for (int i = 1; i <= 7; ++i) seven += "p" + std::to_string(i) + "\r\nf\r\n--\r\n";
  write(seven + "NEXT\r\n");
  ASSERT_TRUE(ReadSection(name, links, count));
  EXPECT_EQ(count, 5);
  EXPECT_EQ(links[4].Program, "p5");

  write("Dokumente\r\n5\r\n----\r\nprog1\r\nfile1\r\n");
  EXPECT_FALSE(ReadSection(name, links, count));
  EXPECT_TRUE(Flags.AbortFlag);
  write("Änderungen\r\n5\r\n");
  EXPECT_FALSE(ReadSection(name, links, count));
}

TEST_F(DocumentLinksTest, StartCommandIsAnArgumentList) {
  EXPECT_EQ(DocumentLinkCommand({"gedit", "/tmp/a b.txt"}),
            (std::vector<std::string>{"gedit", "/tmp/a b.txt"}));
  // An empty file starts the program alone; an empty program leaves the file to the desktop.
  EXPECT_EQ(DocumentLinkCommand({"gedit", ""}), (std::vector<std::string>{"gedit"}));
  EXPECT_TRUE(DocumentLinkCommand({" ", "x.pdf"}).empty());
  // No shell: a file name with ";" stays one argument.
  EXPECT_EQ(DocumentLinkCommand({"cat", "a; rm -rf b"}).size(), 2u);
}

}  // namespace
}  // namespace qern
