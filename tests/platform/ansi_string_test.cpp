#include "platform/ansi_string.h"

#include <gtest/gtest.h>

#include "platform/exception.h"

TEST(AnsiString, ConvertsJapaneseBothWays) {
  const AnsiString s = AnsiString::FromUtf8("説明は8行まで");
  // 説 = 90 E0, 明 = 96 BE in code page 932.
  EXPECT_EQ(std::string("\x90\xE0\x96\xBE", 4), s.bytes().substr(0, 4));
  EXPECT_EQ("説明は8行まで", s.ToUtf8());
  EXPECT_EQ(u"説明は8行まで", s.ToUtf16());
  EXPECT_EQ(s, AnsiString::FromUtf16(u"説明は8行まで"));
}

TEST(AnsiString, KeepsCodePage932CharactersThatPlainShiftJisLacks) {
  // Backslash and tilde stay ASCII; circled digits and the ideographic space exist.
  EXPECT_EQ("\\~", AnsiString::FromUtf8("\\~").bytes());
  EXPECT_EQ(std::string("\x87\x40", 2), AnsiString::FromUtf8("①").bytes());
  EXPECT_EQ(std::string("\x81\x40", 2), AnsiString::FromUtf8("\u3000").bytes());
}

TEST(AnsiString, RefusesCharactersWithoutAShiftJisForm) {
  EXPECT_THROW(AnsiString::FromUtf8("caf\u00e9 \U0001F600"), EConvertError);
  EXPECT_THROW(AnsiString::FromUtf16(u"\u00e9"), EConvertError);
  try {
    AnsiString::FromUtf8("a\U0001F600b");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_NE(std::string(e.what()).find("U+1F600"), std::string::npos) << e.what();
  }
  EXPECT_EQ("a?b", AnsiString::FromUtf8Lossy("a\U0001F600b").bytes());
}

TEST(AnsiString, RefusesBrokenBytes) {
  EXPECT_THROW(AnsiString::FromUtf8("\xff\xfe"), EConvertError);
  EXPECT_THROW(AnsiString(std::string("\x81", 1)).ToUtf8(), EConvertError);
}

TEST(AnsiString, LeadBytes) {
  EXPECT_TRUE(IsLeadByte(0x81));
  EXPECT_TRUE(IsLeadByte(0x9F));
  EXPECT_TRUE(IsLeadByte(0xE0));
  EXPECT_TRUE(IsLeadByte(0xFC));
  EXPECT_FALSE(IsLeadByte('A'));
  EXPECT_FALSE(IsLeadByte(0xA0));  // half-width katakana are single bytes
  EXPECT_FALSE(IsLeadByte(0x80));
}

TEST(Exception, MessageIsAnsiAndWhatIsUtf8) {
  const Exception e(AnsiString::FromUtf8("ファイル"));
  EXPECT_EQ(AnsiString::FromUtf8("ファイル"), e.Message());
  EXPECT_STREQ("ファイル", e.what());
}

TEST(Exception, MessagesThatDoNotConvertStillGiveAText) {
  // A broken code page 932 message keeps its bytes for what(); a UTF-8 one loses what code
  // page 932 cannot hold. Neither raises while the exception is built.
  const Exception broken(AnsiString(std::string("ab\x81", 3)));
  EXPECT_EQ(std::string("ab\x81", 3), broken.what());
  const Exception lossy = Exception::FromUtf8("a\U0001F600b");
  EXPECT_EQ("a?b", lossy.Message().bytes());
  EXPECT_STREQ("a?b", lossy.what());
  try {
    OutOfMemoryError();
  } catch (const EOutOfMemory& e) {
    EXPECT_STREQ("メモリが不足しています", e.what());
  }
}
