#include "host/cli/script.h"

#include <gtest/gtest.h>

namespace tarsin::cli {
namespace {

TEST(Script, LiteralsReadAsTheirKinds) {
  const struct {
    const char* text;
    Variant value;
  } cases[] = {
      {"\"abc\"", Variant("abc")},
      {"\"say \"\"hi\"\"\"", Variant("say \"hi\"")},
      {"\"\"", Variant("")},
      {"42", Variant(int32_t{42})},
      {"-7", Variant(int32_t{-7})},
      {"2.5", Variant(2.5)},
      {"1e3", Variant(1000.0)},
      {"4294967296", Variant(4294967296.0)},
      {"&H1F", Variant(int32_t{31})},
      {"&hFFFFFFFF", Variant(int32_t{-1})},
      {"True", Variant(true)},
      {"false", Variant(false)},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseLiteral(c.text), c.value) << c.text;
}

TEST(Script, BadLiteralsAreRefused) {
  for (const char* text : {"abc", "\"open", "\"a\"b\"", "&H", "&H123456789", "0x10", "nan"}) {
    EXPECT_THROW(ParseLiteral(text), ScriptError) << text;
  }
}

TEST(Script, LinesBecomeCalls) {
  auto call = ParseScriptLine("  EscapeExt \"ff ca, 00\", , \"x\"  ' get the UID");
  ASSERT_TRUE(call);
  EXPECT_EQ(call->member, "EscapeExt");
  EXPECT_FALSE(call->propertyLet);
  ASSERT_EQ(call->args.size(), 3u);
  EXPECT_EQ(*call->args[0], Variant("ff ca, 00"));
  EXPECT_FALSE(call->args[1].has_value());
  EXPECT_EQ(*call->args[2], Variant("x"));

  call = ParseScriptLine("Parameters = \"device=A;protocol=2\"");
  ASSERT_TRUE(call);
  EXPECT_TRUE(call->propertyLet);
  EXPECT_EQ(*call->args.at(0), Variant("device=A;protocol=2"));

  call = ParseScriptLine("CloseEncoder ' done");
  ASSERT_TRUE(call);
  EXPECT_TRUE(call->args.empty());

  EXPECT_FALSE(ParseScriptLine("   "));
  EXPECT_FALSE(ParseScriptLine("' a comment"));
}

TEST(Script, MalformedLinesAreRefused) {
  for (const char* line : {"= 3", "Parameters =", "Parameters = 1, 2", "OpenEncoder(0)",
                           "WriteLog \"unterminated"}) {
    EXPECT_THROW(ParseScriptLine(line), ScriptError) << line;
  }
}

}  // namespace
}  // namespace tarsin::cli
