// Saving when the disk or the folder fails: every form we write keeps the
// previous file byte for byte, keeps the document path, leaves no stray
// temporary file and tells the user what the flow promises (documents: a
// message; exports: nothing).
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/chip_sheet.h"
#include "fault_support.h"
#include "files/binary_document.h"
#include "files/image_export.h"
#include "files/map_data_export.h"
#include "files/open_document.h"
#include "files/text_document.h"
#include "platform/qt/qt_image_codec.h"
#include "support/fakes.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace kelvor {
namespace {

namespace fs = std::filesystem;

// A 24 x 24 map over noisy atlases: every form it is saved in is larger
// than the write limit used below, images included.
struct SavedDocument {
  MapDocument document;
  ChipSheetTable sheets;

  SavedDocument() {
    CreateChipAtlases(document);
    for (ChipTable& table : document.tables) {
      for (size_t i = 0; i < table.atlas.pixels.size(); ++i) {
        table.atlas.pixels[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
      }
      table.entries[0].used = 1;
      for (int32_t n = 1; n < 40; ++n)
        table.entries[static_cast<size_t>(n)] = {1, 0, n % 8, n / 8, 0};
      table.count = 40;
    }
    document.fileList.names[0] = "tiles.png";
    document.grid.Allocate(24, 24);
    for (size_t i = 0; i < document.grid.cells->size(); ++i) {
      (*document.grid.cells)[i] = static_cast<MapCell>((i % 39 + 1) | ((i * 7 % 39 + 1) << 8));
    }
    StoreDocumentPath(document, "/documents/earlier.kv");
  }
};

struct SaveForm {
  std::string_view name;
  std::string_view fileName;
  std::function<bool(const std::string&, SavedDocument&, Messages&)> save;
  bool documentSave;  // documents report failures; exports stay silent
};

std::vector<SaveForm> Forms() {
  return {
      {"binary document", "map.kv",
       [](const std::string& path, SavedDocument& d, Messages& m) {
         return WriteBinaryDocument(path, d.document, d.sheets, m);
       },
       true},
      {"text document", "map.kv",
       [](const std::string& path, SavedDocument& d, Messages& m) {
         return WriteTextDocument(path, d.document, d.sheets, m);
       },
       true},
      {"map data", "map.bin",
       [](const std::string& path, SavedDocument& d, Messages&) {
         return ExportMapData(path, d.document.grid);
       },
       false},
      {"background atlas PNG", "atlas.png",
       [](const std::string& path, SavedDocument& d, Messages& m) {
         QtImageEncoder encoder;
         return ExportAtlasImage(path, d.document, 0, encoder, m);
       },
       false},
      {"layer atlas BMP", "atlas.bmp",
       [](const std::string& path, SavedDocument& d, Messages& m) {
         QtImageEncoder encoder;
         return ExportAtlasImage(path, d.document, 1, encoder, m);
       },
       false},
      {"map PNG", "whole.png",
       [](const std::string& path, SavedDocument& d, Messages& m) {
         QtImageEncoder encoder;
         return ExportMapImage(path, d.document, true, encoder, m) == PictureWrite::Written;
       },
       false},
      {"map BMP", "whole.bmp",
       [](const std::string& path, SavedDocument& d, Messages& m) {
         QtImageEncoder encoder;
         return ExportMapImage(path, d.document, true, encoder, m) == PictureWrite::Written;
       },
       false},
  };
}

const std::vector<uint8_t> PreviousBytes = {'e', 'a', 'r', 'l', 'i', 'e', 'r', '\r', '\n', 0, 1, 2};

// Runs one failing save and checks everything a failure must leave alone.
void ExpectFailedSave(const SaveForm& form, const std::string& path, const fs::path& folder,
                      std::optional<std::string_view> documentMessage, rlim_t writeLimit = 0) {
  SCOPED_TRACE(std::string(form.name));
  SavedDocument saved;
  test::RecordingMessages messages;
  // Folders others write to (/proc) change by themselves: not compared.
  const bool compareNames = folder != "/proc";
  const auto namesBefore = compareNames ? test::NamesIn(folder) : std::set<std::string>{};
  std::error_code error;
  const bool previousExists = fs::is_regular_file(path, error);

  bool result = true;
  if (writeLimit > 0) {
    // Every write past the limit fails as on a full disk (SIGXFSZ ignored).
    test::FileSizeLimit limit(writeLimit);
    result = form.save(path, saved, messages);
  } else {
    result = form.save(path, saved, messages);
  }

  EXPECT_FALSE(result);
  if (compareNames) {
    EXPECT_EQ(test::NamesIn(folder), namesBefore) << "a temporary file was left behind";
  }
  if (previousExists) {
    EXPECT_EQ(test::ReadFileBytes(path), PreviousBytes);
  }
  EXPECT_EQ(saved.document.documentPath, "/documents/earlier.kv");
  EXPECT_EQ(messages.waitDepth, 0);
  if (form.documentSave) {
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, *documentMessage);
    EXPECT_EQ(messages.shown[0].caption, texts::AppCaption);
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Error);
  } else {
    EXPECT_TRUE(messages.shown.empty());
  }
}

TEST(SaveFaults, EveryFormSavesWhenNothingFails) {
  // The baseline for the cases below: the same saves do succeed.
  for (const SaveForm& form : Forms()) {
    SCOPED_TRACE(std::string(form.name));
    test::TempDir dir;
    const std::string path = dir.File(form.fileName);
    test::WriteFileBytes(path, PreviousBytes);
    SavedDocument saved;
    test::RecordingMessages messages;
    ASSERT_TRUE(form.save(path, saved, messages));
    EXPECT_GT(fs::file_size(path), 2048u);
    EXPECT_EQ(test::NamesIn(dir.path()), std::set<std::string>{std::string(form.fileName)});
  }
}

TEST(SaveFaults, DiskFullMidWriteKeepsThePreviousFile) {
  for (const SaveForm& form : Forms()) {
    test::TempDir dir;
    const std::string path = dir.File(form.fileName);
    test::WriteFileBytes(path, PreviousBytes);
    ExpectFailedSave(form, path, dir.path(), texts::CannotSaveFile, 1024);
  }
}

TEST(SaveFaults, ReadOnlyFolderKeepsThePreviousFile) {
  for (const SaveForm& form : Forms()) {
    test::TempDir dir;
    const std::string path = dir.File(form.fileName);
    test::WriteFileBytes(path, PreviousBytes);
    test::ImmutableFolder readOnly(dir.path());
    if (!readOnly.applied()) {
      GTEST_SKIP() << "this file system cannot make a folder read-only for root "
                      "(no immutable attribute); the /proc case below still runs";
    }
    ExpectFailedSave(form, path, dir.path(), texts::CannotCreateFile);
  }
}

TEST(SaveFaults, ReadOnlyFileSystemRefusesTheFile) {
  // /proc takes no new files from anyone, root included.
  for (const SaveForm& form : Forms()) {
    const std::string path = "/proc/kelvor-save-test-" + std::string(form.fileName);
    ExpectFailedSave(form, path, "/proc", texts::CannotCreateFile);
    EXPECT_FALSE(fs::exists(path));
  }
}

TEST(SaveFaults, TargetThatIsAFolderStaysAFolder) {
  for (const SaveForm& form : Forms()) {
    test::TempDir dir;
    const std::string path = dir.File(form.fileName);
    fs::create_directory(path);
    test::WriteFileBytes(path + "/inside.txt", PreviousBytes);
    ExpectFailedSave(form, path, dir.path(), texts::CannotCreateFile);
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(test::ReadFileBytes(path + "/inside.txt"), PreviousBytes);
  }
}

TEST(SaveFaults, PathsTheSystemCannotTakeAreRefused) {
  for (const SaveForm& form : Forms()) {
    test::TempDir dir;
    const std::string extension(form.fileName.substr(form.fileName.rfind('.')));
    const std::vector<std::string> paths = {
        dir.File(std::string(300, 'n') + extension),                            // name too long
        dir.path().string() + "/" + std::string(5000, 'd') + "/x" + extension,  // path too long
        dir.File("missing-folder/map" + extension),                             // no such folder
    };
    for (const std::string& path : paths) {
      SCOPED_TRACE(path.substr(0, 80));
      ExpectFailedSave(form, path, dir.path(), texts::CannotCreateFile);
    }
  }
}

}  // namespace
}  // namespace kelvor
