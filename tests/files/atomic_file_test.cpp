#include "platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace kelvor {
namespace {

size_t FilesIn(const std::filesystem::path& folder) {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
  return count;
}

TEST(AtomicFile, ReplacesTheTargetOnlyWhenEverythingWasWritten) {
  test::TempDir dir;
  const std::string path = dir.File("map.kv");
  test::WriteFileText(path, "old");
  AtomicFile file;
  ASSERT_TRUE(file.Open(path));
  file.Put("new ", 4);
  EXPECT_EQ(test::ReadFileBytes(path), (std::vector<uint8_t>{'o', 'l', 'd'}));
  const std::string big(3 << 20, 'x');  // larger than the write buffer
  file.Put(big.data(), big.size());
  EXPECT_EQ(file.Commit(), FileWriteStatus::Ok);
  EXPECT_EQ(test::ReadFileBytes(path).size(), 4 + big.size());
  EXPECT_EQ(FilesIn(dir.path()), 1u) << "no temporary file is left behind";
}

TEST(AtomicFile, AnAbandonedSaveLeavesNothingBehind) {
  test::TempDir dir;
  const std::string path = dir.File("map.kv");
  test::WriteFileText(path, "old");
  {
    AtomicFile file;
    ASSERT_TRUE(file.Open(path));
    file.Put("half", 4);
  }
  EXPECT_EQ(test::ReadFileBytes(path), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(FilesIn(dir.path()), 1u);
}

TEST(AtomicFile, TellsCannotCreateFromCannotWrite) {
  test::TempDir dir;
  EXPECT_EQ(WriteFileAtomically(dir.File("absent/map.kv"), "x", 1), FileWriteStatus::CannotCreate);
  std::filesystem::create_directory(dir.File("folder.kv"));
  EXPECT_EQ(WriteFileAtomically(dir.File("folder.kv"), "x", 1), FileWriteStatus::CannotCreate);

  // A disk that fills up mid-save: the file size limit makes writes fail.
  const std::string path = dir.File("full.kv");
  test::WriteFileText(path, "previous");
  const std::string big(1 << 16, 'y');
  FileWriteStatus status = FileWriteStatus::Ok;
  {
    test::FileSizeLimit limit(4096);
    status = WriteFileAtomically(path, big.data(), big.size());
  }
  EXPECT_EQ(status, FileWriteStatus::CannotWrite);
  const std::vector<uint8_t> kept = test::ReadFileBytes(path);
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "previous");
  EXPECT_EQ(FilesIn(dir.path()), 2u);  // full.kv and folder.kv only
}

TEST(AtomicFile, KeepsThePermissionsOfTheFileItReplaces) {
  test::TempDir dir;
  const std::string path = dir.File("shared.kv");
  test::WriteFileText(path, "old");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(WriteFileAtomically(path, "new", 3), FileWriteStatus::Ok);
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(AtomicFile, LeavesAReadOnlyFileAlone) {
  if (geteuid() == 0) GTEST_SKIP() << "root may write every file";
  test::TempDir dir;
  const std::string path = dir.File("locked.kv");
  test::WriteFileText(path, "old");
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  EXPECT_EQ(WriteFileAtomically(path, "new", 3), FileWriteStatus::CannotCreate);
  EXPECT_EQ(test::ReadFileBytes(path), (std::vector<uint8_t>{'o', 'l', 'd'}));
}

TEST(AtomicFile, SavingThroughALinkReplacesTheFileItPointsTo) {
  test::TempDir dir;
  const std::string real = dir.File("real.kv");
  const std::string link = dir.File("link.kv");
  test::WriteFileText(real, "old");
  std::filesystem::create_symlink(real, link);
  ASSERT_EQ(WriteFileAtomically(link, "new", 3), FileWriteStatus::Ok);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(test::ReadFileBytes(real), (std::vector<uint8_t>{'n', 'e', 'w'}));
}

TEST(FileReading, ReadsRegularFilesOnly) {
  test::TempDir dir;
  test::WriteFileText(dir.File("a.kv"), "abc");
  FileContents contents;
  ASSERT_TRUE(contents.Open(dir.File("a.kv")));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(contents.data()), contents.size()), "abc");
  test::WriteFileText(dir.File("empty.kv"), "");
  ASSERT_TRUE(contents.Open(dir.File("empty.kv")));
  EXPECT_EQ(contents.size(), 0u);
  EXPECT_FALSE(contents.Open(dir.File("missing.kv")));
  EXPECT_FALSE(contents.Open(dir.path().string()));
}

}  // namespace
}  // namespace kelvor
