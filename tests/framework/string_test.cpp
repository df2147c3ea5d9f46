// CString: formatting, trimming, search, editing, comparison, buffers, errors and building.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "framework/afxstr.h"
#include "throws.h"

namespace {

std::string Bytes(const CString& s) { return std::string(s.GetString(), static_cast<size_t>(s.GetLength())); }

TEST(CStringFormat, OutputsOfAnyLengthAround512) {
    // The formatter switches from a fixed buffer to the heap near 512 characters.
    for (int n : {0, 1, 510, 511, 512, 513, 5000, 100000}) {
        const std::string filler(static_cast<size_t>(n), 'x');
        CString s("old content");
        s.Format("<%s>", filler.c_str());
        ASSERT_EQ(s.GetLength(), n + 2) << n;
        EXPECT_EQ(Bytes(s), "<" + filler + ">");
    }
}

TEST(CStringFormat, ConversionsTheCallersUse) {
    CString s;
    s.Format("%lld|%lld|%d|%u|%c|%s|%.2f|%05d", static_cast<long long>(LLONG_MIN), 1234567890123LL, -42, 4294967295u, 'Q',
             "text", 2.5, 7);
    EXPECT_STREQ(s, "-9223372036854775808|1234567890123|-42|4294967295|Q|text|2.50|00007");

    s.Format("%s", "");
    EXPECT_TRUE(s.IsEmpty());
}

TEST(CStringFormat, AppendFormatAndOwnTextAsArgument) {
    CString s("ab");
    s.AppendFormat("-%d", 5);
    EXPECT_STREQ(s, "ab-5");
    // The string's own text as argument must survive the reformatting of the string.
    s.Format("%s+%s", s.GetString(), static_cast<LPCSTR>(s));
    EXPECT_STREQ(s, "ab-5+ab-5");
    const std::string big(3000, 'y');
    s = big.c_str();
    s.AppendFormat("%s", s.GetString());
    EXPECT_EQ(Bytes(s), big + big);
}

TEST(CStringTrim, RemovesExactlyTheCLocaleWhiteSpace) {
    CString s(" \t\n\v\f\rmid dle\r\f\v\n\t ");
    EXPECT_STREQ(s.Trim(), "mid dle");

    // Bytes that are blank in some code pages, and control bytes, stay.
    const char others[] = "\xA0\x85\x1C\x1F\x08" "x" "\x0E\xA0";
    CString t(others);
    t.Trim();
    EXPECT_EQ(Bytes(t), std::string(others));

    CString blank(" \r\n ");
    EXPECT_TRUE(blank.Trim().IsEmpty());
    CString empty;
    EXPECT_TRUE(empty.Trim().IsEmpty());

    CString left("  a  ");
    EXPECT_STREQ(left.TrimLeft(), "a  ");
    CString right("  a  ");
    EXPECT_STREQ(right.TrimRight(), "  a");
}

TEST(CStringTrim, GivenCharactersOnly) {
    CString s("xxaxbxx");
    EXPECT_STREQ(s.Trim('x'), "axb");
    CString t("\"'value' \"");
    EXPECT_STREQ(t.Trim("\"' "), "value");
    CString u(" a ");
    EXPECT_STREQ(u.Trim(""), " a ");
    EXPECT_STREQ(u.TrimLeft('a'), " a ");
}

TEST(CStringSearch, FindWithStartsOutOfRange) {
    const CString s("abcabc");
    EXPECT_EQ(s.Find('c'), 2);
    EXPECT_EQ(s.Find('c', 3), 5);
    EXPECT_EQ(s.Find('c', 6), -1);
    EXPECT_EQ(s.Find('a', -1), -1);
    EXPECT_EQ(s.Find('z'), -1);

    EXPECT_EQ(s.Find("bc"), 1);
    EXPECT_EQ(s.Find("bc", 2), 4);
    EXPECT_EQ(s.Find("bc", 5), -1);
    EXPECT_EQ(s.Find("abcabcd"), -1);
    EXPECT_EQ(s.Find("c", 7), -1);
    EXPECT_EQ(s.Find("", 3), 3);
    EXPECT_EQ(s.Find("", 6), 6);
    EXPECT_EQ(s.Find("", 7), -1);
    EXPECT_EQ(s.Find("a", -2), -1);

    EXPECT_EQ(s.ReverseFind('a'), 3);
    EXPECT_EQ(s.ReverseFind('q'), -1);
    EXPECT_EQ(s.FindOneOf("xcb"), 1);
    EXPECT_EQ(CString().Find(""), 0);
}

TEST(CStringSearch, MidLeftRightClampTheirArguments) {
    const CString s("hello");
    EXPECT_STREQ(s.Mid(1), "ello");
    EXPECT_STREQ(s.Mid(-3), "hello");
    EXPECT_STREQ(s.Mid(5), "");
    EXPECT_STREQ(s.Mid(9), "");
    EXPECT_STREQ(s.Mid(1, 3), "ell");
    EXPECT_STREQ(s.Mid(3, 100), "lo");
    EXPECT_STREQ(s.Mid(3, INT_MAX), "lo");
    EXPECT_STREQ(s.Mid(1, -1), "");
    EXPECT_STREQ(s.Mid(-2, 3), "hel");
    EXPECT_STREQ(s.Mid(7, 2), "");
    EXPECT_STREQ(s.Left(2), "he");
    EXPECT_STREQ(s.Left(-1), "");
    EXPECT_STREQ(s.Left(99), "hello");
    EXPECT_STREQ(s.Right(2), "lo");
    EXPECT_STREQ(s.Right(0), "");
    EXPECT_STREQ(s.Right(99), "hello");
}

TEST(CStringEdit, ReplaceIsLeftToRightAndNonOverlapping) {
    CString s("aaaa");
    EXPECT_EQ(s.Replace("aa", "b"), 2);
    EXPECT_STREQ(s, "bb");
    s = "aaa";
    EXPECT_EQ(s.Replace("aa", "aaa"), 1);
    EXPECT_STREQ(s, "aaaa");
    s = "a-b-c";
    EXPECT_EQ(s.Replace("-", ""), 2);
    EXPECT_STREQ(s, "abc");
    EXPECT_EQ(s.Replace("", "x"), 0);
    EXPECT_EQ(s.Replace("abcd", "x"), 0);
    EXPECT_STREQ(s, "abc");
    EXPECT_EQ(s.Replace("b", "<b>"), 1);
    EXPECT_STREQ(s, "a<b>c");
    EXPECT_EQ(s.Replace('<', '['), 1);
    EXPECT_EQ(s.Replace('>', ']'), 1);
    EXPECT_STREQ(s, "a[b]c");

    // Arguments that are this string's own text.
    s = "xyz";
    EXPECT_EQ(s.Replace(s, s + s), 1);
    EXPECT_STREQ(s, "xyzxyz");
    EXPECT_EQ(s.Replace(s.GetString() + 4, "Q"), 2);
    EXPECT_STREQ(s, "xQxQ");
}

TEST(CStringEdit, DeleteReturnValues) {
    CString s("<aXYbc>");
    EXPECT_EQ(s.Delete(1, 3), 4);
    EXPECT_STREQ(s, "<bc>");
    EXPECT_EQ(s.Delete(2, 100), 2);
    EXPECT_EQ(s.Delete(5), 2);
    EXPECT_EQ(s.Delete(-1), 1);
    EXPECT_STREQ(s, "b");
}

TEST(CStringEdit, CaseChangesAreAsciiOnly) {
    CString s("Ab\xC4\xE4Z9");
    EXPECT_EQ(Bytes(s.MakeLower()), "ab\xC4\xE4z9");
}

TEST(CStringCompare, CaseSensitiveAndAsciiFolding) {
    const CString s("Apple");
    EXPECT_EQ(s.Compare("Apple"), 0);
    EXPECT_EQ(s.Compare("apple"), -1);
    EXPECT_EQ(s.Compare("Ap"), 1);
    EXPECT_EQ(s.CompareNoCase("aPPLE"), 0);
    EXPECT_EQ(s.CompareNoCase("applf"), -1);
    EXPECT_EQ(s.CompareNoCase("APPLE PIE"), -1);
    // Only A-Z fold; '[' (0x5B) sorts after 'Z' but before 'a' unless 'Z' is folded.
    EXPECT_EQ(CString("Z").CompareNoCase("["), 1);
    EXPECT_NE(CString("\xC4").CompareNoCase("\xE4"), 0);
    EXPECT_EQ(CString("\x80").Compare("a"), 1);  // bytes compare unsigned

    EXPECT_TRUE(s == "Apple");
    EXPECT_TRUE("Apple" == s);
    EXPECT_TRUE(s != CString("apple"));
    EXPECT_TRUE(s < "Banana");
    EXPECT_TRUE("Banana" > s);
    EXPECT_TRUE(CString("b") > CString("a"));
}

TEST(CStringBytes, EmbeddedNulsAreKeptButCStringViewsStopAtThem) {
    const CString s("a\0b\0", 4);
    EXPECT_EQ(s.GetLength(), 4);
    EXPECT_EQ(std::strlen(s), 1u);
    EXPECT_EQ(s.Find('b'), 2);
    EXPECT_EQ(Bytes(s.Mid(2)), std::string("b\0", 2));
    EXPECT_TRUE(s == "a");
    CString t(s);
    t += "c";
    EXPECT_EQ(t.GetLength(), 5);
    EXPECT_EQ(t.GetAt(4), 'c');
}

TEST(CStringBuffer, GetBufferAndReleaseBuffer) {
    CString s("abc");
    char* p = s.GetBuffer(100);
    EXPECT_STREQ(p, "abc");  // the old text stays in the buffer
    std::strcpy(p, "a longer text written in place");
    s.ReleaseBuffer();
    EXPECT_STREQ(s, "a longer text written in place");
    EXPECT_EQ(s.GetLength(), 30);

    p = s.GetBuffer(0);
    p[0] = 'A';
    s.ReleaseBuffer(5);
    EXPECT_STREQ(s, "A lon");

    CString empty;
    p = empty.GetBuffer(10);
    std::memcpy(p, "0123456789", 10);  // no NUL written: the length comes from ReleaseBuffer
    empty.ReleaseBuffer(10);
    EXPECT_STREQ(empty, "0123456789");

    CString untouched("q");
    untouched.GetBuffer(64);
    untouched.ReleaseBuffer();
    EXPECT_STREQ(untouched, "q");
}

TEST(CStringErrors, IndexAndSizeFailuresThrowClassLibraryExceptions) {
    CString s("ab");
    EXPECT_EQ(s.GetAt(2), '\0');
    EXPECT_EQ(OleErrorOf([&] { s.GetAt(3); }), E_INVALIDARG);
    EXPECT_EQ(OleErrorOf([&] { s.GetAt(-1); }), E_INVALIDARG);
    EXPECT_TRUE(ThrowsAndFrees<CMemoryException>([&] { s.GetBuffer(INT_MAX); }));
    EXPECT_STREQ(s, "ab");
}

TEST(CStringBuild, ConcatenationIncludingSelf) {
    CString s("ab");
    s += s;
    EXPECT_STREQ(s, "abab");
    for (int i = 0; i < 6; ++i) s += s;  // each step reallocates while reading the old text
    EXPECT_EQ(s.GetLength(), 256);
    s = "xyz";
    s.Append(s.GetString() + 1);
    EXPECT_STREQ(s, "xyzyz");
    EXPECT_STREQ(CString("a") + 'b' + "c" + CString("d"), "abcd");
    EXPECT_STREQ('<' + CString("x") + '>', "<x>");
    EXPECT_STREQ("pre" + CString("-"), "pre-");
    EXPECT_STREQ(CString('-', 3), "---");
    EXPECT_STREQ(CString(static_cast<const char*>(nullptr)), "");

    CString moved(std::move(s));
    EXPECT_STREQ(moved, "xyzyz");
    EXPECT_TRUE(s.IsEmpty());  // NOLINT(bugprone-use-after-move): the moved-from state is defined
}

}  // namespace
