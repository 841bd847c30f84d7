// Tests of NextToken, the restoring tokenizer the source line parser is built on.
#include "converter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

struct Token {
    std::string text;   // the token as NextToken cut it
    char found;         // the delimiter that ended it, NUL for the end of the text
};

// Scans text to its end with one delimiter set: the first call with the text, the rest going on.
std::vector<Token> TokensOf(const std::string &text, const char *delimiters)
{
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');   // sized exactly, so a read past the text shows under the sanitizers
    std::vector<Token> tokens;
    char found = '\0';
    char *token = NextToken(delimiters, buffer.data(), &found);
    for (;;) {
        tokens.push_back({token, found});
        if (found == '\0')
            break;
        token = NextToken(delimiters, nullptr, &found);
    }
    NextToken(nullptr, nullptr, nullptr);
    EXPECT_EQ(std::string(buffer.data(), text.size()), text) << "the text is whole again";
    return tokens;
}

struct TokenCase {
    const char *name;
    std::string text;
    const char *delimiters;
    std::vector<Token> tokens;
};

const TokenCase kTokenCases[] = {
    {"fields", "a;b;c", ";", {{"a", ';'}, {"b", ';'}, {"c", '\0'}}},
    {"empty_token_between_delimiters", "a;;b", ";", {{"a", ';'}, {"", ';'}, {"b", '\0'}}},
    {"only_delimiters", ";;", ";", {{"", ';'}, {"", ';'}, {"", '\0'}}},
    {"empty_text", "", ";", {{"", '\0'}}},
    {"no_delimiter", "abc", ";", {{"abc", '\0'}}},
    {"leading_delimiters_not_skipped", "  x", " ", {{"", ' '}, {"", ' '}, {"x", '\0'}}},
    {"two_delimiter_set", "a b;c", "; ", {{"a", ' '}, {"b", ';'}, {"c", '\0'}}},
    {"newline_ends_token", "a\nb", ";\n", {{"a", '\n'}, {"b", '\0'}}},
    {"three_delimiter_set", "a,b c;d", ",; ", {{"a", ','}, {"b", ' '}, {"c", ';'}, {"d", '\0'}}},
    {"tokens_across_eight_byte_words", "0123456789abcdef;0123456;01234567",
     ";", {{"0123456789abcdef", ';'}, {"0123456", ';'}, {"01234567", '\0'}}},
    // 0xBB and 0xBA differ from ';' (0x3B) and ':' only in the high bit.
    {"high_bytes_are_not_delimiters", "\xbb;\xba\xbb\xbb\xbb\xbb\xbb\xbb\xbb\xbb;x", ";",
     {{"\xbb", ';'}, {"\xba\xbb\xbb\xbb\xbb\xbb\xbb\xbb\xbb", ';'}, {"x", '\0'}}},
    {"cyrillic_text", "\xcf\xe5\xf2\xf0\xee\xe2 \xc8\xe2\xe0\xed", " ",
     {{"\xcf\xe5\xf2\xf0\xee\xe2", ' '}, {"\xc8\xe2\xe0\xed", '\0'}}},
};

TEST(next_token, table_of_texts)
{
    for (const TokenCase &c : kTokenCases) {
        SCOPED_TRACE(c.name);
        std::vector<Token> got = TokensOf(c.text, c.delimiters);
        ASSERT_EQ(got.size(), c.tokens.size());
        for (size_t i = 0; i < got.size(); i++) {
            EXPECT_EQ(got[i].text, c.tokens[i].text) << "token " << i;
            EXPECT_EQ(got[i].found, c.tokens[i].found) << "token " << i;
        }
    }
}

TEST(next_token, cut_byte_is_back_once_the_next_scan_begins)
{
    char text[] = "ab;cd;ef";
    char found = '\0';
    EXPECT_STREQ(NextToken(";", text, &found), "ab");
    EXPECT_EQ(text[2], '\0') << "the cut stands while the token is in use";
    EXPECT_STREQ(NextToken(";", nullptr, &found), "cd");
    EXPECT_EQ(text[2], ';');
    EXPECT_EQ(text[5], '\0');
    EXPECT_EQ(NextToken(nullptr, nullptr, nullptr), nullptr) << "null delimiters only restore";
    EXPECT_EQ(std::memcmp(text, "ab;cd;ef", sizeof text), 0);
    EXPECT_EQ(g_tokenizer.cut_pending, 0);
}

TEST(next_token, going_on_without_a_cut_gives_null)
{
    char text[] = "abc";
    char found = ';';
    EXPECT_STREQ(NextToken(";", text, &found), "abc");
    EXPECT_EQ(found, '\0');
    EXPECT_EQ(NextToken(";", nullptr, &found), nullptr);
}

TEST(next_token, found_may_be_omitted)
{
    char text[] = "ab;c";
    EXPECT_STREQ(NextToken(";", text, nullptr), "ab");
    EXPECT_STREQ(NextToken(";", nullptr, nullptr), "c");
    NextToken(nullptr, nullptr, nullptr);
    EXPECT_STREQ(text, "ab;c");
}

TEST(next_token, a_new_text_restores_the_old_one)
{
    char first[] = "a;b";
    char second[] = "c d";
    NextToken(";", first, nullptr);
    EXPECT_STREQ(NextToken(" ", second, nullptr), "c");
    EXPECT_STREQ(first, "a;b");
    NextToken(nullptr, nullptr, nullptr);
}

// Every text length up to 40 with a delimiter at every place (or none) agrees with a plain byte scan,
// whatever the bytes around it: this covers the word boundaries of the scan.
TEST(next_token, agrees_with_a_byte_scan_at_every_length_and_place)
{
    std::mt19937 random(1251);
    const char filler[] = "09azAZ \x80\xbb\xba\xff\xc0\x0a\x3a\x3c\x0d\x01";
    const char *sets[] = {";", ";\n", " \n", " "};
    for (const char *set : sets) {
        for (size_t length = 0; length <= 40; length++) {
            for (size_t place = 0; place <= length; place++) {
                std::string text;
                for (size_t i = 0; i < length; i++) {
                    char c;
                    do
                        c = filler[random() % (sizeof filler - 1)];
                    while (std::strchr(set, c) != nullptr);
                    text += c;
                }
                if (place < length)
                    text[place] = set[random() % std::strlen(set)];
                SCOPED_TRACE(testing::Message() << "set " << (int)set[0] << " length " << length << " place " << place);
                std::vector<Token> got = TokensOf(text, set);
                ASSERT_FALSE(got.empty());
                EXPECT_EQ(got[0].text, text.substr(0, place));
                EXPECT_EQ(got[0].found, place < length ? text[place] : '\0');
            }
        }
    }
}

}  // namespace
