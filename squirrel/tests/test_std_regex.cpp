// The regular-expression engine: matching semantics, captures, and the compile errors scripts see.
#include "squirrel/sqstdlib.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

struct RexDeleter {
    void operator()(SQRex* r) const { sqstd_rex_free(r); }
};
using RexPtr = std::unique_ptr<SQRex, RexDeleter>;

RexPtr compile(const char* pattern) {
    const SQChar* error = nullptr;
    RexPtr r(sqstd_rex_compile(pattern, &error));
    EXPECT_TRUE(r) << pattern << ": " << (error ? error : "");
    return r;
}

// The first match as "begin,end", or "none".
std::string search(SQRex* r, const std::string& text) {
    const SQChar *b, *e;
    if (!sqstd_rex_searchrange(r, text.data(), text.data() + text.size(), &b, &e)) return "none";
    return std::to_string(b - text.data()) + "," + std::to_string(e - text.data());
}

struct SearchCase {
    const char* pattern;
    const char* text;
    const char* expected;
};

TEST(StdRegex, SearchFindsLeftmostGreedyMatch) {
    const SearchCase cases[] = {
        {"a", "xa", "1,2"},
        {"(a|b)+c", "xxababcz", "2,7"},
        {"^\\d+$", "12345", "0,5"},
        {"^\\d+$", "123a5", "none"},
        {"[a-z]+@[a-z]+\\.com", "mail foo@bar.com x", "5,16"},
        {"a{2,3}", "aaaa", "0,3"},
        {"a{2}", "a aa", "2,4"},
        {"a{2,}", "aaaaab", "0,5"},
        {"colou?r", "my color", "3,8"},
        {"[^abc]", "abcd", "3,4"},
        {"x*", "abc", "0,0"},
        {"(a*)*b", "aaab", "0,4"}, // an empty loop body cannot spin forever
        {"(?:ab)+", "xababab", "1,7"},
        {"a.c", "a\nc", "0,3"}, // '.' matches any byte
        {"\\w+", "  hello_1 ", "2,9"},
        {"\\s\\S", "ab cd", "2,4"},
        {"[\\d_]+", "ab_12x", "2,5"},
        {"\\x+", "zz0fA9g", "2,6"},
        {"\\l\\u", "abCd", "1,3"},
        {"\\p", "ab,c", "2,3"},
        {"\\t\\n", "a\t\nb", "1,3"},
        {"\\.", "a.b", "1,2"},
        {"foo\\b", "a foo b", "2,5"},
        {"\\bfoo\\b", "a foo b", "none"}, // boundaries are white-space transitions at the next character
        {"\\bfoo", "foo bar", "0,3"},
        {"b$", "ab", "1,2"},
        {"cat|dog", "hotdog", "3,6"},
    };
    for (const auto& c : cases) {
        auto r = compile(c.pattern);
        ASSERT_TRUE(r);
        EXPECT_EQ(search(r.get(), c.text), c.expected) << c.pattern << " in \"" << c.text << "\"";
    }
}

TEST(StdRegex, MatchNeedsTheWholeString) {
    auto r = compile("a+b?");
    EXPECT_TRUE(sqstd_rex_match(r.get(), "aaab"));
    EXPECT_TRUE(sqstd_rex_match(r.get(), "a"));
    EXPECT_FALSE(sqstd_rex_match(r.get(), "aaabb"));
    EXPECT_FALSE(sqstd_rex_match(r.get(), "xa"));
    // Backtracking into the greedy part is what lets the rest match.
    auto s = compile("(a|ab)(c|bcd)");
    EXPECT_TRUE(sqstd_rex_match(s.get(), "abcd"));
}

TEST(StdRegex, CapturesGroupsOfTheLastMatch) {
    auto r = compile("(\\w+)@(\\w+)(x)?");
    ASSERT_EQ(sqstd_rex_getsubexpcount(r.get()), 4);
    std::string text = "mail me@home now";
    ASSERT_EQ(search(r.get(), text), "5,12");
    auto group = [&](int n) {
        SQRexMatch m;
        EXPECT_TRUE(sqstd_rex_getsubexp(r.get(), n, &m));
        return m.begin ? std::string(m.begin, (size_t)m.len) : std::string("<unset>");
    };
    EXPECT_EQ(group(0), "me@home");
    EXPECT_EQ(group(1), "me");
    EXPECT_EQ(group(2), "home");
    EXPECT_EQ(group(3), "<unset>");
    SQRexMatch m;
    EXPECT_FALSE(sqstd_rex_getsubexp(r.get(), 4, &m));
    // Non-capturing groups are not counted.
    EXPECT_EQ(sqstd_rex_getsubexpcount(compile("(?:a)(b)").get()), 2);
}

TEST(StdRegex, CaretAnchorsAtTheStartOfTheSearchedRange) {
    auto r = compile("^b");
    std::string text = "ab";
    const SQChar *b, *e;
    EXPECT_FALSE(sqstd_rex_searchrange(r.get(), text.data(), text.data() + 2, &b, &e));
    EXPECT_TRUE(sqstd_rex_searchrange(r.get(), text.data() + 1, text.data() + 2, &b, &e));
}

TEST(StdRegex, CompileErrorsHaveTheScriptMessages) {
    const struct {
        const char* pattern;
        const char* error;
    } cases[] = {
        {"(a", "expected paren"},
        {"[abc", "letter expected"}, // an unclosed class runs into the pattern's end
        {"a)", "unexpected character"},
        {"a**", "unexpected character"}, // a quantifier cannot itself be quantified
        {"", "letter expected"},         // an empty pattern is refused
        {"[]", "empty class"},
        {"[^]", "empty class"},
        {"[a-", "invalid range"},
        {"[\\d-z]", "cannot use character classes in ranges"},
        {"a{x}", "number expected"},
        {"a{2x", ", or } expected"},
    };
    for (const auto& c : cases) {
        const SQChar* error = nullptr;
        SQRex* r = sqstd_rex_compile(c.pattern, &error);
        EXPECT_EQ(r, nullptr) << c.pattern;
        sqstd_rex_free(r);
        ASSERT_NE(error, nullptr) << c.pattern;
        EXPECT_STREQ(error, c.error) << c.pattern;
    }
}

TEST(StdRegex, HostilePatternsFailCleanly) {
    // Deep nesting and huge expansions are refused instead of exhausting the stack or memory.
    std::string deep(5000, '(');
    const SQChar* error = nullptr;
    EXPECT_EQ(sqstd_rex_compile(deep.c_str(), &error), nullptr);
    EXPECT_EQ(sqstd_rex_compile("(a{1000}){1000}", &error), nullptr);
    // A long subject does not recurse per character.
    auto r = compile("(a|b)*c");
    std::string text(200000, 'a');
    text += 'c';
    EXPECT_TRUE(sqstd_rex_match(r.get(), text.c_str()));
}

} // namespace
