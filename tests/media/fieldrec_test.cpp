#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "fieldrec.h"

namespace {

// A text built with FieldrecAddField, released with FieldrecFree.
class FieldrecTest : public testing::Test {
protected:
    ~FieldrecTest() override { FieldrecFree(text_); }

    bool Add(const char *name, const char *value) { return FieldrecAddField(&text_, &length_, name, value) != 0; }

    char *text_ = nullptr;
    unsigned long length_ = 0;
};

TEST_F(FieldrecTest, AppendsOneContentLinePerField) {
    ASSERT_TRUE(Add("BEGIN", "VNOTE"));
    ASSERT_TRUE(Add("X_FB_ATTRIBUT", " "));
    ASSERT_TRUE(Add("X-EMPTY", ""));
    const std::string expected = "BEGIN:VNOTE\r\nX_FB_ATTRIBUT: \r\nX-EMPTY:\r\n";
    ASSERT_NE(text_, nullptr);
    EXPECT_EQ(std::string(text_), expected);
    EXPECT_EQ(length_, expected.size());
}

TEST_F(FieldrecTest, EscapesBackslashCarriageReturnAndLineFeedOnly) {
    ASSERT_TRUE(Add("X_FB_NAME", "a\\b\rc\nd;e,f:g\xC3\xA9"));
    EXPECT_EQ(std::string(text_), "X_FB_NAME:a\\\\b\\rc\\nd;e,f:g\xC3\xA9\r\n");
    EXPECT_EQ(length_, std::string(text_).size());
}

TEST_F(FieldrecTest, GrowsToLongTexts) {
    const std::string value(1000, 'v');
    for (int i = 0; i < 5000; ++i) ASSERT_TRUE(Add("X_FB_NAME", value.c_str())) << i;
    const std::string line = "X_FB_NAME:" + value + "\r\n";
    ASSERT_EQ(length_, 5000 * line.size());
    EXPECT_EQ(std::string(text_ + length_ - line.size()), line);
}

TEST_F(FieldrecTest, RefusesBadArgumentsAndKeepsTheText) {
    ASSERT_TRUE(Add("BEGIN", "VNOTE"));
    char *const before = text_;
    const unsigned long lengthBefore = length_;

    for (const char *name : {"", "X:Y", "X Y", "X\r\nY", "X\\Y"}) EXPECT_FALSE(Add(name, "v")) << name;
    EXPECT_FALSE(Add(nullptr, "v"));
    EXPECT_FALSE(Add("X", nullptr));
    EXPECT_EQ(FieldrecAddField(nullptr, &length_, "X", "v"), 0);
    EXPECT_EQ(FieldrecAddField(&text_, nullptr, "X", "v"), 0);

    // A length that does not describe the text is refused rather than trusted.
    unsigned long wrongLength = lengthBefore - 1;
    EXPECT_EQ(FieldrecAddField(&text_, &wrongLength, "X", "v"), 0);
    char *noText = nullptr;
    unsigned long staleLength = 5;
    EXPECT_EQ(FieldrecAddField(&noText, &staleLength, "X", "v"), 0);
    EXPECT_EQ(noText, nullptr);
    EXPECT_EQ(staleLength, 5u);

    EXPECT_EQ(text_, before);
    EXPECT_EQ(length_, lengthBefore);
    EXPECT_STREQ(text_, "BEGIN:VNOTE\r\n");
}

}  // namespace
