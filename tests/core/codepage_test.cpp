#include <gtest/gtest.h>

#include "tarvo/core/codepage.hpp"
#include "tarvo/core/errors.hpp"

namespace tarvo::core {
namespace {

TEST(DecodeCp1254, TurkishLettersAndUndefinedBytes) {
    EXPECT_EQ(decode_cp1254("\xDE\xFE\xDD\xFD\xD0\xF0\x80"), "ŞşİıĞğ€");
    EXPECT_EQ(decode_cp1254(""), "");
    for (int b : {0x81, 0x8D, 0x8E, 0x8F, 0x90, 0x9D, 0x9E}) {
        std::string bytes = "ab";
        bytes += static_cast<char>(b);
        EXPECT_THROW(decode_cp1254(bytes), UnicodeDecodeError) << b;
    }
}

TEST(DecodeCp1254, ErrorNamesTheByteAndItsOffset) {
    try {
        decode_cp1254("a\xFD\x81z");
        ADD_FAILURE() << "an undefined byte was decoded";
    } catch (const UnicodeDecodeError& e) {
        EXPECT_EQ(std::string(e.what()), "'cp1254' codec can't decode byte 0x81 in position 2");
    }
}

// A text decoded a piece at a time: each piece appends its characters, and a piece with an
// undefined byte appends nothing (its error names the byte's offset in the whole text).
TEST(DecodeCp1254, PiecesAppendAndAFailedPieceLeavesTheTextAsItWas) {
    std::string out = "ok ";
    decode_cp1254_append("\xDEube;", 10, out);
    decode_cp1254_append("\x80 \xFD", 16, out);
    EXPECT_EQ(out, "ok Şube;€ ı");
    try {
        decode_cp1254_append("abc\xF0\x90" "d", 20, out);
        ADD_FAILURE() << "an undefined byte was decoded";
    } catch (const UnicodeDecodeError& e) {
        EXPECT_EQ(std::string(e.what()), "'cp1254' codec can't decode byte 0x90 in position 24");
    }
    EXPECT_EQ(out, "ok Şube;€ ı");
}

// Output more than twice the input's size makes the decoder grow its buffer more than once.
TEST(DecodeCp1254, LongTextOfWideLetters) {
    const std::string bytes(100000, '\xFD');
    std::string want;
    for (size_t i = 0; i < bytes.size(); ++i) want += "ı";
    EXPECT_EQ(decode_cp1254(bytes), want);
    EXPECT_EQ(encode_cp1254(want), bytes);
}

TEST(EncodeCp1254, RoundTripAndUnrepresentableText) {
    EXPECT_EQ(encode_cp1254("ŞşİıĞğ€ a"), "\xDE\xFE\xDD\xFD\xD0\xF0\x80 a");
    EXPECT_THROW(encode_cp1254("日本"), ValueError);
    EXPECT_THROW(encode_cp1254("a\xC3"), ValueError);  // cut in the middle of a character
}

}  // namespace
}  // namespace tarvo::core
