#include "platform/stream.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/exception.h"

namespace {

std::filesystem::path TempPath(const char* name) {
  return std::filesystem::temp_directory_path() /
         (std::string("nimbrel-") + std::to_string(::getpid()) + "-" + name);
}

std::string Slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

TEST(MemoryStream, ReadsExactlyOrRaises) {
  TMemoryStream s({1, 2, 3});
  std::uint8_t b[3] = {};
  s.ReadBuffer(b, 2);
  EXPECT_EQ(2, b[1]);
  EXPECT_THROW(s.ReadBuffer(b, 2), EReadError);
}

TEST(MemoryStream, WritesSeeksAndGrows) {
  TMemoryStream s;
  s.WriteBuffer("abc", 3);
  s.SetPosition(5);
  s.WriteBuffer("z", 1);
  EXPECT_EQ(6, s.GetSize());
  EXPECT_EQ(0, s.Bytes()[3]);
  EXPECT_EQ(2, s.Seek(-4, TSeekOrigin::soEnd));
  EXPECT_THROW(s.Seek(-1, TSeekOrigin::soBeginning), EReadError);
}

TEST(FileStream, CreateReplacesAndOpenWriteDoesNotTruncate) {
  const auto path = TempPath("stream");
  {
    TFileStream f(path.string(), fmCreate);
    f.WriteBuffer("hello world", 11);
  }
  {
    TFileStream f(path.string(), fmOpenWrite | fmShareExclusive);
    f.WriteBuffer("J", 1);
  }
  EXPECT_EQ("Jello world", Slurp(path));
  {
    TFileStream f(path.string(), fmCreate);
    f.WriteBuffer("x", 1);
  }
  EXPECT_EQ("x", Slurp(path));
  TFileStream f(path.string(), fmOpenRead | fmShareDenyWrite);
  char c[2];
  EXPECT_THROW(f.ReadBuffer(c, 2), EReadError);
  std::filesystem::remove(path);
}

TEST(FileStream, ErrorsNameTheFile) {
  try {
    TFileStream f("/nonexistent-dir/a.png", fmCreate);
    FAIL();
  } catch (const EFCreateError& e) {
    EXPECT_STREQ("ファイル /nonexistent-dir/a.png を作成できません", e.what());
  }
  EXPECT_THROW(TFileStream("/nonexistent-dir/a.png", fmOpenRead), EFOpenError);
}

TEST(FileStream, WriteToAFullDeviceRaises) {
  if (!std::filesystem::exists("/dev/full"))
    GTEST_SKIP() << "/dev/full, a device every write to fails, is not available here";
  TFileStream f("/dev/full", fmOpenWrite);
  EXPECT_THROW(f.WriteBuffer("x", 1), EWriteError);
}
