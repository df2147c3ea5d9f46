// URLs, encoders, splitters and JSON reading rules: everything of the sign-on code that works on
// text alone.
#include <gtest/gtest.h>

#include <cjson/cJSON.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "library/sso/json_document.h"
#include "library/sso/oauth2.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs ToPairs(const OAuth2::FieldList& fields) {
    Pairs pairs;
    for (INT_PTR i = 0; i < fields.GetSize(); ++i)
        pairs.emplace_back(std::string(fields[i].name.GetString(), size_t(fields[i].name.GetLength())),
                           std::string(fields[i].value.GetString(), size_t(fields[i].value.GetLength())));
    return pairs;
}

Pairs Query(const char* text) {
    OAuth2::FieldList fields;
    OAuth2::SplitQuery(text, fields);
    return ToPairs(fields);
}

Pairs FlatJson(const char* text) {
    OAuth2::FieldList fields;
    OAuth2::SplitFlatJson(text, fields);
    return ToPairs(fields);
}

std::string Str(const CString& text) { return std::string(text.GetString(), size_t(text.GetLength())); }

CString Bytes(const std::string& bytes) { return CString(bytes.data(), int(bytes.size())); }

// ---- URLs ----

class UrlTest : public ::testing::Test {
protected:
    OAuth2 client;
    void SetUp() override {
        client.authorizeUrl = "https://sso.example/oauth/authorize";
        client.tokenUrl = "https://sso.example/oauth/token";
        client.clientId = "cid";
        client.clientSecret = "secret";
        client.stateNonce = 4711;
        client.refreshToken = "rt/1+";
    }
};

TEST_F(UrlTest, RedirectUriIsTheLoopbackHostOnThePort) {
    EXPECT_EQ(Str(client.GetRedirectUri()), "http://localhost:3017/");
    EXPECT_EQ(Str(OAuth2::UrlEncode(client.GetRedirectUri())), "http%3A%2F%2Flocalhost%3A3017%2F");
    client.port = 8080;
    EXPECT_EQ(Str(client.GetRedirectUri()), "http://localhost:8080/");
}

TEST_F(UrlTest, AuthorizeUrlCarriesTheEncodedRedirectTheNonceAndTheScopesAsTheyAre) {
    client.scope = "a.read b.write";
    EXPECT_EQ(Str(client.GetAuthorizeUrl()),
              "https://sso.example/oauth/authorize?response_type=code&client_id=cid"
              "&redirect_uri=http%3A%2F%2Flocalhost%3A3017%2F&state=4711&scope=a.read b.write");
    client.scope.Empty();
    client.stateNonce = 0;
    EXPECT_EQ(Str(client.GetAuthorizeUrl()),
              "https://sso.example/oauth/authorize?response_type=code&client_id=cid"
              "&redirect_uri=http%3A%2F%2Flocalhost%3A3017%2F&state=0");
}

TEST_F(UrlTest, BuiltInScopesAndEndpointsFormTheAuthorizeUrl) {
    OAuth2 fresh;
    // The addresses the library ships with: the second generation of the sign-on service.
    EXPECT_EQ((std::vector<std::string>{Str(fresh.authorizeUrl), Str(fresh.tokenUrl), Str(fresh.esiBaseUrl)}),
              (std::vector<std::string>{"https://login.eveonline.com/v2/oauth/authorize",
                                        "https://login.eveonline.com/v2/oauth/token", "https://esi.evetech.net/"}));
    // The build's own application when one was configured, else the placeholder built in.
    const std::string configured = QUARNELS_CONFIGURED_CLIENT_ID;
    const std::string client = configured.empty() ? "3f7c21d09ab84e56b0c4e8a21d5f9b07" : configured;
    EXPECT_GT(fresh.stateNonce, 0);
    EXPECT_EQ(Str(fresh.GetAuthorizeUrl()),
              "https://login.eveonline.com/v2/oauth/authorize?response_type=code&client_id=" + client +
                  "&redirect_uri=http%3A%2F%2Flocalhost%3A3017%2F&state=" + std::to_string(fresh.stateNonce) +
                  "&scope=esi-skills.read_skills.v1 esi-wallet.read_character_wallet.v1 esi-assets.read_assets.v1 "
                  "esi-industry.read_character_jobs.v1 esi-markets.read_character_orders.v1 "
                  "esi-assets.read_corporation_assets.v1");
}

class VirtualRedirect : public OAuth2 {
public:
    CString GetRedirectUri() override { return "urn:x"; }
};

TEST(UrlOverride, AuthorizeUrlAsksTheVirtualRedirectUri) {
    VirtualRedirect client;
    EXPECT_NE(Str(client.GetAuthorizeUrl()).find("&redirect_uri=urn%3Ax&"), std::string::npos);
}

TEST_F(UrlTest, TokenBodiesEncodeTheirValuesAndCarryClientCredentialsOnlyWithoutBasicAuthorization) {
    EXPECT_EQ(Str(client.GetTokenBody("a/b c")), "grant_type=authorization_code&code=a%2Fb%20c");
    EXPECT_EQ(Str(client.GetRefreshBody()), "grant_type=refresh_token&refresh_token=rt%2F1%2B");

    client.useBasicAuth = 0;
    client.clientSecret = "s+/=";
    EXPECT_EQ(Str(client.GetRefreshBody()),
              "grant_type=refresh_token&refresh_token=rt%2F1%2B&client_id=cid&client_secret=s%2B%2F%3D");
    client.clientSecret.Empty();
    EXPECT_EQ(Str(client.GetTokenBody("x")), "grant_type=authorization_code&code=x&client_id=cid");

    client.useBasicAuth = 1;
    client.refreshToken.Empty();
    EXPECT_EQ(Str(client.GetRefreshBody()), "grant_type=refresh_token&refresh_token=");
}

// ---- encoders ----

TEST(Encoders, PercentEncodingKeepsOnlyAsciiLettersAndDigits) {
    EXPECT_EQ(Str(OAuth2::UrlEncode("a-b.c_d~e")), "a%2Db%2Ec%5Fd%7Ee");
    EXPECT_EQ(Str(OAuth2::UrlEncode(Bytes("\xE4"))), "%E4");
    EXPECT_EQ(Str(OAuth2::UrlEncode(Bytes(std::string("\t \0Zz09", 7)))), "%09%20%00Zz09");
    EXPECT_EQ(Str(OAuth2::UrlEncode("")), "");
}

TEST(Encoders, PercentDecoding) {
    EXPECT_EQ(Str(OAuth2::UrlDecode("%41%3a%3A")), "A::");
    EXPECT_EQ(Str(OAuth2::UrlDecode("a%20b")), "a b");
    EXPECT_EQ(Str(OAuth2::UrlDecode("100%25")), "100%");
    EXPECT_EQ(Str(OAuth2::UrlDecode("a+b")), "a+b");
    EXPECT_EQ(Str(OAuth2::UrlDecode("%00x")), std::string("\0x", 2));
    // A "%" with fewer than two bytes behind it ends the text.
    EXPECT_EQ(Str(OAuth2::UrlDecode("abc%")), "abc");
    EXPECT_EQ(Str(OAuth2::UrlDecode("abc%4")), "abc");
    EXPECT_EQ(Str(OAuth2::UrlDecode("%")), "");
    // Our choice for a "%" that does not start an escape: it stands for itself.
    EXPECT_EQ(Str(OAuth2::UrlDecode("%zz%41")), "%zzA");
}

TEST(Encoders, DecodingUndoesEncodingForEveryByte) {
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(char(i));
    for (const std::string& text : {all, std::string("%41"), std::string("100% sure"), std::string()}) {
        EXPECT_EQ(Str(OAuth2::UrlDecode(OAuth2::UrlEncode(Bytes(text)))), text);
    }
}

TEST(Encoders, Base64WithPaddingAndNoLineBreaks) {
    EXPECT_EQ(Str(Base64Encode("abc", 3)), "YWJj");
    EXPECT_EQ(Str(Base64Encode("ab", 2)), "YWI=");
    EXPECT_EQ(Str(Base64Encode("a", 1)), "YQ==");
    EXPECT_EQ(Str(Base64Encode("", 0)), "");
    EXPECT_EQ(Str(Base64Encode("\0\xff\xfe", 3)), "AP/+");
    EXPECT_EQ(Str(Base64Encode("a\0b", 3)), "YQBi");
    const std::string hundred(100, 'x');
    const std::string encoded = Str(Base64Encode(hundred.data(), 100));
    EXPECT_EQ(encoded.size(), 136u);
    EXPECT_EQ(encoded.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(encoded.substr(132), "eA==");
}

// ---- query splitting ----

TEST(SplitQuery, PairsInOrderWithDecodedValues) {
    EXPECT_EQ(Query("code=abc&state=123"), (Pairs{{"code", "abc"}, {"state", "123"}}));
    EXPECT_EQ(Query("a=1&&b=2&c&=x&d="), (Pairs{{"a", "1"}, {"b", "2"}, {"", "x"}, {"d", ""}}));
    EXPECT_EQ(Query("a=b=c"), (Pairs{{"a", "b=c"}}));
    EXPECT_EQ(Query("a=%41%3a"), (Pairs{{"a", "A:"}}));
    EXPECT_EQ(Query("x%41=1&a=1+2"), (Pairs{{"x%41", "1"}, {"a", "1+2"}}));
    EXPECT_EQ(Query("Code=1&code=2&"), (Pairs{{"Code", "1"}, {"code", "2"}}));
}

TEST(SplitQuery, NothingToSplit) {
    EXPECT_TRUE(Query("").empty());
    EXPECT_TRUE(Query("&").empty());
    EXPECT_TRUE(Query("abc").empty());
}

TEST(SplitQuery, ReplacesWhatTheListHeld) {
    OAuth2::FieldList fields;
    OAuth2::SplitQuery("old=1&older=2", fields);
    OAuth2::SplitQuery("new=3", fields);
    EXPECT_EQ(ToPairs(fields), (Pairs{{"new", "3"}}));
    OAuth2::SplitQuery("", fields);
    EXPECT_EQ(fields.GetSize(), 0);
}

// ---- flat JSON splitting ----

TEST(SplitFlatJson, TokenAnswerGivesItsMembersInOrder) {
    EXPECT_EQ(FlatJson("{\"access_token\":\"abc\",\"token_type\":\"Bearer\",\"expires_in\":1200,"
                       "\"refresh_token\":\"def\"}"),
              (Pairs{{"access_token", "abc"}, {"token_type", "Bearer"}, {"expires_in", "1200"}, {"refresh_token", "def"}}));
    EXPECT_EQ(FlatJson("{\"a\":true,\"b\":null,\"c\":-1.5e3}"), (Pairs{{"a", "true"}, {"b", "null"}, {"c", "-1.5e3"}}));
}

TEST(SplitFlatJson, WhiteSpaceAndLineBreaks) {
    EXPECT_EQ(FlatJson("{\r\n  \"a\" \t:  \"x y\" ,\n \"b\" : 1 \r\n}"), (Pairs{{"a", "x y"}, {"b", "1"}}));
    EXPECT_EQ(FlatJson("{\"a\":\"x\r\ny\"}"), (Pairs{{"a", "xy"}}));
    EXPECT_EQ(FlatJson("{\" a \":\" x \"}"), (Pairs{{"a", "x"}}));
}

TEST(SplitFlatJson, SeparatorsInsideQuotesStay) {
    EXPECT_EQ(FlatJson("{\"a\":\"x,y}z\",\"b:c\":\"2\"}"), (Pairs{{"a", "x,y}z"}, {"b:c", "2"}}));
}

TEST(SplitFlatJson, ObjectsThatAreEmptyUnclosedOrSeveral) {
    EXPECT_TRUE(FlatJson("{}").empty());
    EXPECT_TRUE(FlatJson("").empty());
    EXPECT_TRUE(FlatJson("{\"a\":1").empty());
    EXPECT_EQ(FlatJson("{\"a\":1,\"b\":2"), (Pairs{{"a", "1"}}));
    EXPECT_EQ(FlatJson("{\"a\":1,}"), (Pairs{{"a", "1"}}));
    EXPECT_EQ(FlatJson("junk {\"a\":1}{\"b\":2}"), (Pairs{{"a", "1"}}));
}

TEST(SplitFlatJson, NestingAndEscapesAreNotUnderstood) {
    EXPECT_EQ(FlatJson("{\"a\":{\"b\":1,\"c\":2},\"d\":3}"), (Pairs{{"a", "{b:1"}, {"c", "2"}}));
    // The escaped quote flips the quote flag: the closing brace then stands within quotes.
    EXPECT_TRUE(FlatJson("{\"a\":\"x\\\"y\",\"b\":1}").empty());
    EXPECT_EQ(FlatJson("{\"a\":\"x\\\\\"}"), (Pairs{{"a", "x\\\\"}}));
}

TEST(SplitFlatJson, KeepsWhatTheListHeld) {
    OAuth2::FieldList fields;
    OAuth2::SplitQuery("q=1", fields);
    OAuth2::SplitFlatJson("{\"j\":2}", fields);
    EXPECT_EQ(ToPairs(fields), (Pairs{{"q", "1"}, {"j", "2"}}));
}

TEST(GetFieldValue, FirstNonEmptyValueOfTheNameInAnyCase) {
    OAuth2::FieldList fields;
    OAuth2::SplitFlatJson("{\"access_token\":\"\",\"other\":\"o\",\"ACCESS_token\":\"second\",\"access_token\":\"third\"}",
                          fields);
    EXPECT_EQ(Str(OAuth2::GetFieldValue(fields, "ACCESS_TOKEN")), "second");
    EXPECT_EQ(Str(OAuth2::GetFieldValue(fields, "other")), "o");
    EXPECT_EQ(Str(OAuth2::GetFieldValue(fields, "refresh_token")), "");
    OAuth2::SplitFlatJson("{\"empty\":\"\"}", fields);
    EXPECT_EQ(Str(OAuth2::GetFieldValue(fields, "empty")), "");
}

// ---- URL splitting ----

struct UrlParts {
    int isHttps;
    std::string server;
    int port;
    std::string object;
    bool operator==(const UrlParts& other) const {
        return isHttps == other.isHttps && server == other.server && port == other.port && object == other.object;
    }
};

std::ostream& operator<<(std::ostream& out, const UrlParts& parts) {
    return out << "{" << parts.isHttps << ", " << parts.server << ", " << parts.port << ", " << parts.object << "}";
}

UrlParts Split(const char* url) {
    int isHttps = -1, port = -1;
    CString server = "stale", object = "stale";
    OAuth2::SplitUrl(url, &isHttps, &server, &port, &object);
    return UrlParts{isHttps, Str(server), port, Str(object)};
}

TEST(SplitUrl, SchemeServerPortAndObject) {
    EXPECT_EQ(Split("https://host/a?b=1"), (UrlParts{1, "host", 443, "/a?b=1"}));
    EXPECT_EQ(Split("HTTPS://host/"), (UrlParts{1, "host", 443, "/"}));
    EXPECT_EQ(Split("http://host:8080/x"), (UrlParts{0, "host", 8080, "/x"}));
    EXPECT_EQ(Split("https://host:8443"), (UrlParts{1, "host", 8443, ""}));
    EXPECT_EQ(Split("https://host"), (UrlParts{1, "host", 443, ""}));
    EXPECT_EQ(Split("ftp://host/x"), (UrlParts{0, "host", 80, "/x"}));
    EXPECT_EQ(Split("host/path"), (UrlParts{0, "", 80, ""}));
    EXPECT_EQ(Split("https://host:abc/x"), (UrlParts{1, "host", 0, "/x"}));
    EXPECT_EQ(Split("https://"), (UrlParts{1, "", 443, ""}));
    EXPECT_EQ(Split("://h/p://q"), (UrlParts{0, "h", 80, "/p://q"}));
}

// ---- JSON reading ----

std::string CapturedDebugOutput(JsonDocument& document, const char* text, BOOL* parsed) {
    ::testing::internal::CaptureStderr();
    *parsed = document.Parse(text);
    return ::testing::internal::GetCapturedStderr();
}

TEST(JsonDocument, FailedParseEmptiesTheHolderAndReportsTheRest) {
    JsonDocument document;
    ASSERT_TRUE(document.Parse("{\"a\":1}"));
    ASSERT_NE(document.root, nullptr);
    BOOL parsed = TRUE;
    EXPECT_EQ(CapturedDebugOutput(document, "", &parsed), "");
    EXPECT_FALSE(parsed);
    EXPECT_EQ(document.root, nullptr);

    ASSERT_TRUE(document.Parse("[1]"));
    CapturedDebugOutput(document, "{\"a\":1,}", &parsed);
    EXPECT_FALSE(parsed);
    EXPECT_EQ(document.root, nullptr);
    EXPECT_EQ(CapturedDebugOutput(document, "{\"a\":1,\"b\"} tail", &parsed), "} tail\n");
    EXPECT_FALSE(parsed);

    EXPECT_EQ(CapturedDebugOutput(document, "<html>Bad Gateway</html>", &parsed), "<html>Bad Gateway</html>\n");
    EXPECT_FALSE(parsed);
}

TEST(JsonDocument, LeadingBlanksAndTrailingTextAreAccepted) {
    JsonDocument document;
    ASSERT_TRUE(document.Parse(" \t\r\n[1, 2]"));
    EXPECT_EQ(JsonArraySize(document.root), 2);
    ASSERT_TRUE(document.Parse("[1,2] and more"));
    EXPECT_EQ(JsonArraySize(document.root), 2);
    EXPECT_EQ(JsonInt(JsonNextChild(JsonFirstChild(document.root))), 2);
    // The text ends at its first NUL.
    ASSERT_TRUE(document.Parse(Bytes(std::string("[3]\0garbage", 11))));
    ASSERT_FALSE(document.Parse(Bytes(std::string("\0[3]", 4))));
}

TEST(JsonDocument, MembersMatchWithoutCaseAndTheFirstMatchDecides) {
    JsonDocument document;
    ASSERT_TRUE(document.Parse("{\"Type_ID\":5}"));
    EXPECT_EQ(JsonInt(document.root, "type_id"), 5);
    ASSERT_TRUE(document.Parse("{\"type_id\":\"x\",\"type_id\":7}"));
    EXPECT_EQ(JsonInt(document.root, "type_id"), 0);
    EXPECT_EQ(Str(JsonText(document.root, "TYPE_ID")), "x");
    EXPECT_EQ(JsonMember(document.root, "missing"), nullptr);
    EXPECT_EQ(JsonMember(nullptr, "type_id"), nullptr);
}

TEST(JsonDocument, ValuesByKindWithDefaultsForMissingOrMistyped) {
    JsonDocument document;
    ASSERT_TRUE(document.Parse("{\"id\":1234567890123,\"neg\":-2.9,\"price\":12.5,\"name\":\"Jita\",\"yes\":true,"
                               "\"no\":false,\"quoted\":\"true\",\"one\":1,\"nil\":null,\"big\":3000000000}"));
    const cJSON* root = document.root;
    EXPECT_EQ(JsonInt64(root, "id"), 1234567890123LL);
    EXPECT_EQ(JsonInt64(root, "neg"), -2);
    EXPECT_EQ(JsonInt(root, "neg"), -2);
    EXPECT_DOUBLE_EQ(JsonDouble(root, "price"), 12.5);
    EXPECT_EQ(Str(JsonText(root, "name")), "Jita");
    EXPECT_EQ(JsonFlag(root, "yes"), 1);
    for (const char* notTrue : {"no", "quoted", "one", "nil", "missing"}) EXPECT_EQ(JsonFlag(root, notTrue), 0) << notTrue;
    // Mistyped or missing members read as their zero values.
    EXPECT_EQ(JsonInt(root, "name"), 0);
    EXPECT_EQ(JsonInt64(root, "yes"), 0);
    EXPECT_EQ(JsonDouble(root, "nil"), 0.0);
    EXPECT_EQ(Str(JsonText(root, "price")), "");
    EXPECT_EQ(Str(JsonText(root, "missing")), "");
    // A 32-bit read takes the library's integer value of the number, which saturates.
    EXPECT_EQ(JsonInt(root, "big"), INT_MAX);
    EXPECT_EQ(JsonInt64(root, "big"), 3000000000LL);
}

TEST(JsonDocument, ArraysAreWalkedByTheirChildrenWhateverTheKind) {
    JsonDocument document;
    ASSERT_TRUE(document.Parse("{\"only\":\"member\"}"));
    ASSERT_EQ(JsonArraySize(document.root), 1);
    const cJSON* element = JsonFirstChild(document.root);
    EXPECT_EQ(JsonInt(element, "only"), 0);
    EXPECT_EQ(Str(JsonText(element, "only")), "");
    ASSERT_TRUE(document.Parse("[{\"a\":1},{\"a\":2},{\"b\":3}]"));
    ASSERT_EQ(JsonArraySize(document.root), 3);
    std::vector<int> values;
    for (const cJSON* child : JsonChildren(document.root)) values.push_back(JsonInt(child, "a"));
    EXPECT_EQ(values, (std::vector<int>{1, 2, 0}));
    ASSERT_TRUE(document.Parse("42"));
    EXPECT_EQ(JsonArraySize(document.root), 0);
    EXPECT_EQ(JsonArraySize(nullptr), 0);
    EXPECT_EQ(JsonChildren(document.root).begin() != JsonChildren(document.root).end(), false);
    EXPECT_EQ(JsonChildren(nullptr).begin() != JsonChildren(nullptr).end(), false);
}

}  // namespace
