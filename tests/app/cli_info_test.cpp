#include "app/cli_info.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "app/cli_test_util.h"
#include "app/json_reader.h"
#include "app/temp_folder.h"
#include "peak_memory.h"
#include "platform/ansi_string.h"
#include "png/png_reader_test_util.h"
#include "tests/libpng_decode.h"

namespace {

using pngread::Bytes;

std::string AsString(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

// The zlib stream of count zero bytes, made without holding them.
Bytes DeflatedZeros(std::size_t count) {
  z_stream z{};
  deflateInit(&z, 9);
  Bytes out, zeros(1 << 16, 0), piece(1 << 16);
  for (int flush = Z_NO_FLUSH; flush != Z_FINISH;) {
    const std::size_t now = std::min(count, zeros.size());
    count -= now;
    flush = count == 0 ? Z_FINISH : Z_NO_FLUSH;
    z.next_in = zeros.data();
    z.avail_in = uInt(now);
    do {
      z.next_out = piece.data();
      z.avail_out = uInt(piece.size());
      deflate(&z, flush);
      out.insert(out.end(), piece.begin(), piece.end() - z.avail_out);
    } while (z.avail_out == 0);
  }
  deflateEnd(&z);
  return out;
}

std::vector<JsonValue> JsonLines(const std::string& out) {
  std::vector<JsonValue> objects;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    const std::optional<JsonValue> object = JsonReader::Parse(line);
    EXPECT_TRUE(object.has_value()) << line;
    if (object) objects.push_back(*object);
  }
  return objects;
}

JsonValue InfoJson(const std::vector<std::string>& files, bool verify = false) {
  std::vector<std::string> args = {"info", "--json"};
  if (verify) args.push_back("--verify");
  args.insert(args.end(), files.begin(), files.end());
  const std::vector<JsonValue> objects = JsonLines(RunCliCommand(args).out);
  return objects.size() == 1 ? objects.front() : JsonValue{};
}

std::set<std::string> Keys(const JsonValue& object) {
  std::set<std::string> keys;
  for (const auto& [key, value] : object.members) keys.insert(key);
  return keys;
}

// An RGB picture with text in three kinds of entry: plain, compressed, and one whose bytes are
// not all Shift_JIS.
Bytes TextPng() {
  const std::string star = "\x90\xAF";  // 星 in Shift_JIS
  Bytes ztxt = Text(std::string("Comment\0\0", 9));
  const Bytes compressed = pngread::Deflate(Text(AnsiString::FromUtf8("圧縮").bytes() + star));
  ztxt.insert(ztxt.end(), compressed.begin(), compressed.end());
  return pngread::PngBuilder()
      .IHDR(2, 1, 8, 2)
      .Chunk("tEXt", Text(std::string("Title\0clear\x1B[2J ", 16) + star + " \\ \"q\"\r\n"))
      .Chunk("zTXt", ztxt)
      .Chunk("tEXt", Text(std::string("Bad\0\x80 x", 7)))
      .IDAT(Bytes(7, 0))
      .End();
}

}  // namespace

TEST(CliInfo, ReportsWhatTheReaderSees) {
  TempFolder folder;
  const std::string png = ComposeSample(folder);
  const CliRun run = RunCliCommand({"info", png});
  ASSERT_EQ(run.status, 0) << run.err;
  const LibpngImage decoded = DecodePngFile(png);
  for (const std::string& line : std::vector<std::string>{
           "size: 310 x 180\n", "bit count: 8\n",
           "palette entries: " + std::to_string(decoded.palette.size()) + "\n",
           "(palette index " + std::to_string(*TransparentIndex(decoded)) + ")\n", "gamma: none\n",
           "offset: 0, 0 pixels\n", "format: PNG\n", "colour type: palette, 8 bits per sample\n",
           "text: none\n", "chunks: IHDR uxPg PLTE bKGD tRNS pHYs IDAT IEND\n"})
    EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
}

// Text from a file reaches the terminal escaped, entry by entry; --json gives one object per
// file that a JSON reader takes back exactly, with the keys the manual lists and no others.
TEST(CliInfo, EscapesTheFilesTextAndWritesJsonForEveryFile) {
  TempFolder folder;
  const std::string png = folder.File("text.png");
  const Bytes bytes = TextPng();
  WriteFileBytes(png, AsString(bytes));

  const CliRun report = RunCliCommand({"info", png, "-"}, AsString(bytes));
  EXPECT_EQ(report.status, 0);
  EXPECT_EQ(report.out.find('\x1B'), std::string::npos);
  EXPECT_NE(report.out.find("text:\n  Title: clear\\x1B[2J 星 \\\\ \"q\"\\r\\n\n"
                            "  Comment: 圧縮星\n  Bad: \\x80 x\n"),
            std::string::npos)
      << report.out;
  EXPECT_NE(report.out.find("\nfile: -\n"), std::string::npos);
  EXPECT_EQ(report.out.find("palette entries"), std::string::npos);

  const std::string missing = folder.File("missing\x1B.png");
  const CliRun json = RunCliCommand({"info", "--json", png, missing});
  EXPECT_EQ(json.status, kExitFailed);
  EXPECT_EQ(json.err, "");
  const std::vector<JsonValue> objects = JsonLines(json.out);
  ASSERT_EQ(objects.size(), 2u);
  const JsonValue& info = objects[0];
  EXPECT_EQ(Keys(info),
            (std::set<std::string>{"file", "format", "width", "height", "bitCount", "colourType",
                                   "bitDepth", "interlaced", "transparent", "background", "alpha",
                                   "resolution", "gamma", "offset", "text", "chunks"}));
  EXPECT_EQ(info["file"].text, png);
  EXPECT_EQ(info["colourType"].text, "rgb");
  EXPECT_EQ(info["bitDepth"].number, 8);
  EXPECT_EQ(info["transparent"].kind, JsonValue::kNull);
  EXPECT_EQ(info["offset"]["unit"].text, "pixels");
  const std::vector<JsonValue>& text = info["text"].items;
  ASSERT_EQ(text.size(), 3u);
  EXPECT_EQ(text[0]["keyword"].text, "Title");
  EXPECT_EQ(text[0]["text"].text, "clear\x1B[2J 星 \\ \"q\"\r\n");
  EXPECT_EQ(text[1]["text"].text, "圧縮星");
  EXPECT_EQ(text[2]["text"].text, "\\x80 x");

  // The chunks as the file holds them: each where the one before ends.
  const std::vector<JsonValue>& chunks = info["chunks"].items;
  std::string types;
  std::uint64_t offset = 8;
  for (const JsonValue& chunk : chunks) {
    types += chunk["type"].text + " ";
    EXPECT_EQ(chunk["offset"].number, double(offset));
    EXPECT_EQ(AsString(Bytes(bytes.begin() + long(offset) + 4, bytes.begin() + long(offset) + 8)),
              chunk["type"].text);
    offset += 12 + std::uint64_t(chunk["length"].number);
  }
  EXPECT_EQ(types, "IHDR tEXt zTXt tEXt IDAT IEND ");
  EXPECT_EQ(offset, bytes.size());

  EXPECT_EQ(Keys(objects[1]), (std::set<std::string>{"file", "error"}));
  EXPECT_EQ(objects[1]["file"].text, missing);
  EXPECT_EQ(objects[1]["error"].text,
            "ファイル " + missing + " を開けません: No such file or directory");
}

// paletteSize only for palette images; chunks only for PNG; nothing internal.
TEST(CliInfo, JsonKeysFollowTheKindOfImage) {
  TempFolder folder;
  const std::string png = ComposeSample(folder);
  const std::string bmp = folder.File("sample.bmp");
  ASSERT_EQ(RunCliCommand({"convert", png, bmp}).status, 0);
  const JsonValue fromPng = InfoJson({png});
  EXPECT_EQ(fromPng["paletteSize"].number, double(DecodePngFile(png).palette.size()));
  EXPECT_FALSE(fromPng.Has("leadingBlock"));
  const JsonValue fromBmp = InfoJson({bmp});
  EXPECT_EQ(fromBmp["format"].text, "BMP");
  EXPECT_TRUE(fromBmp.Has("paletteSize"));
  EXPECT_FALSE(fromBmp.Has("chunks"));
  EXPECT_EQ(fromBmp["text"].kind, JsonValue::kArray);
}

// A file that ends too early says where, whichever command reads it; the chunk or the part of
// a BMP the end falls in comes from the file's own structure.
TEST(CliInfo, AFileThatEndsEarlySaysWhere) {
  TempFolder folder;
  const std::string png = ComposeSample(folder);
  const std::string bmp = folder.File("sample.bmp");
  ASSERT_EQ(RunCliCommand({"convert", png, bmp}).status, 0);
  const std::string pngBytes = ReadFileBytes(png), bmpBytes = ReadFileBytes(bmp);
  const JsonValue chunks = InfoJson({png})["chunks"];
  auto at = [&](const char* type) {
    for (const JsonValue& chunk : chunks.items)
      if (chunk["type"].text == type) return std::size_t(chunk["offset"].number);
    return std::size_t(0);
  };
  struct Case {
    std::string bytes;
    std::string where;
    bool needsVerify = false;
  };
  const std::size_t tableEnd = 14 + 40 + 256 * 4;
  for (const Case& c :
       {Case{pngBytes.substr(0, 5), "file ends at byte 5 inside the PNG signature"},
        Case{pngBytes.substr(0, 500), "file ends at byte 500 inside chunk PLTE"},
        Case{pngBytes.substr(0, at("IDAT") + 20),
             "file ends at byte " + std::to_string(at("IDAT") + 20) + " inside chunk IDAT"},
        Case{pngBytes.substr(0, at("IEND")),
             "file ends at byte " + std::to_string(at("IEND")) + " after chunk IDAT"},
        Case{pngBytes.substr(0, at("IEND") + 3), "file ends at byte " +
                                                     std::to_string(at("IEND") + 3) +
                                                     " inside the chunk header after chunk IDAT"},
        Case{bmpBytes.substr(0, 30), "file ends at byte 30 inside the info header"},
        Case{bmpBytes.substr(0, 100), "file ends at byte 100 inside the colour table"},
        Case{bmpBytes.substr(0, tableEnd + 10),
             "file ends at byte " + std::to_string(tableEnd + 10) + " inside the pixel data",
             true}}) {
    const std::string cut = folder.File(c.bytes.starts_with("BM") ? "cut.bmp" : "cut.png");
    WriteFileBytes(cut, c.bytes);
    const std::string expected =
        "nimbrel-cli: " + cut + ": ストリームの読み込みエラー: " + c.where + "\n";
    for (const std::vector<std::string>& args : {std::vector<std::string>{"info", cut},
                                                 {"info", "--verify", cut},
                                                 {"convert", cut, folder.File("out.png")}}) {
      const CliRun run = RunCliCommand(args);
      if (c.needsVerify && args.size() == 2) {
        EXPECT_EQ(run.status, 0) << c.where;  // the headers are whole
        continue;
      }
      EXPECT_EQ(run.status, kExitFailed);
      EXPECT_EQ(run.err, expected) << args[0];
    }
  }
}

TEST(CliInfo, AFileThatIsNotPngFails) {
  TempFolder folder;
  WriteFileBytes(folder.File("x.png"), "GIF89a" + std::string(1024, '\0'));
  const CliRun run = RunCliCommand({"info", folder.File("x.png")});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_EQ(run.err, "nimbrel-cli: " + folder.File("x.png") + ": PNG LoadStream: Not PNG Format\n");
}

// Without --verify the reader sees a stand-in for the pixels; every fact it reports must be the
// one the whole load gives, and every fault of the headers the same fault.
TEST(CliInfo, HeadersAloneGiveTheFactsOfTheWholeLoad) {
  int compared = 0;
  for (const char* set : {"pngsuite", "bmpsuite/g", "bmpsuite/q", "bmpsuite/b", "photos"}) {
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(NIMBREL_CORPUS_DIR) + "/" + set)) {
      const std::string file = entry.path().string();
      if (entry.path().extension() != ".png" && entry.path().extension() != ".bmp") continue;
      JsonValue quick = InfoJson({file});
      const JsonValue whole = InfoJson({file}, true);
      if (quick.Has("error") || whole.Has("error")) {
        // Damaged pixel data shows only when the pixels are read.
        if (quick.Has("error")) {
          EXPECT_EQ(quick["error"].text, whole["error"].text) << file;
        }
        continue;
      }
      for (const char* key : {"colourType", "alpha"})  // a 32-bit BMP's alpha is in its pixels
        if (!quick.Has(key)) quick.members[key] = whole[key];
      EXPECT_EQ(quick, whole) << file;
      ++compared;
    }
  }
  EXPECT_GT(compared, 200);
}

// A small file that states a huge picture costs little more than itself without --verify.
TEST(CliInfo, HeadersAloneTakeNoPictureMemory) {
  TempFolder folder;
  constexpr std::uint32_t kSide = 8192;
  const std::string png = folder.File("huge.png");
  WriteFileBytes(png, AsString(pngread::PngBuilder()
                                   .IHDR(kSide, kSide, 8, 0)
                                   .Chunk("IDAT", DeflatedZeros(std::size_t(kSide + 1) * kSide))
                                   .End()));
  // An 8-bit run-length BMP of 16384 × 16384 whose data ends at once.
  std::string bmp = "BM" + std::string(8, '\0') + std::string("\x36\x04\0\0", 4);
  const std::uint8_t info[40] = {40, 0, 0, 0, 0, 0x40, 0, 0, 0, 0x40, 0, 0, 1, 0, 8, 0, 1};
  bmp += std::string(reinterpret_cast<const char*>(info), sizeof info) + std::string(1024, '\0') +
         std::string("\0\1", 2);
  WriteFileBytes(folder.File("huge.bmp"), bmp);
  for (const std::string& file : {png, folder.File("huge.bmp")}) {
    JsonValue facts;
    const std::optional<std::size_t> growth = PeakGrowth([&] { facts = InfoJson({file}); });
    EXPECT_GE(facts["width"].number, kSide) << file;
    if (growth) {
      EXPECT_LT(*growth, std::size_t(16) << 20) << file;
    }
  }
  // The measure itself: the pixels, once decoded, take their 64 MiB.
  const std::optional<std::size_t> whole = PeakGrowth([&] { InfoJson({png}, true); });
  if (whole) {
    EXPECT_GT(*whole, std::size_t(60) << 20);
  }
}
