// A parsed JSON answer and the forgiving readers of its members, numbers, texts and arrays.
#include "library/sso/json_document.h"

#include <cjson/cJSON.h>

namespace {
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool EqualNoCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (AsciiLower(*a) != AsciiLower(*b)) return false;
    return *a == *b;
}
}  // namespace

JsonDocument::~JsonDocument() {
    if (root) cJSON_Delete(root);
    root = nullptr;
}

BOOL JsonDocument::Parse(const CString& text) {
    if (root) {
        cJSON_Delete(root);
        root = nullptr;
    }
    root = cJSON_Parse(text.GetString());
    if (root) return TRUE;
    // The library keeps where it stopped; that is all that is told about a failed answer.
    const char* stop = cJSON_GetErrorPtr();
    OutputDebugStringA(CString(stop ? stop : ""));
    return FALSE;
}

const cJSON* JsonMember(const cJSON* object, const char* key) {
    if (!object || !key) return nullptr;
    for (const cJSON* child = object->child; child; child = child->next) {
        if (child->string && EqualNoCase(child->string, key)) return child;
    }
    return nullptr;
}

int32_t JsonInt(const cJSON* node) { return node && cJSON_IsNumber(node) ? node->valueint : 0; }

int64_t JsonInt64(const cJSON* node) {
    if (!node || !cJSON_IsNumber(node)) return 0;
    const double value = node->valuedouble;
    // Out of range (and NaN) gives what the processor's conversion gives: the lowest value.
    if (!(value > -9223372036854775808.0 && value < 9223372036854775808.0)) return INT64_MIN;
    return static_cast<int64_t>(value);
}

double JsonDouble(const cJSON* node) { return node && cJSON_IsNumber(node) ? node->valuedouble : 0.0; }

CString JsonText(const cJSON* node) {
    if (!node || !cJSON_IsString(node) || !node->valuestring) return CString();
    return CString(node->valuestring);
}

int JsonFlag(const cJSON* node) { return node && cJSON_IsTrue(node) ? 1 : 0; }

bool JsonIsArray(const cJSON* node) { return node && cJSON_IsArray(node); }

int JsonArraySize(const cJSON* node) {
    int count = 0;
    if (node)
        for (const cJSON* child = node->child; child; child = child->next) ++count;
    return count;
}

const cJSON* JsonFirstChild(const cJSON* node) { return node ? node->child : nullptr; }

const cJSON* JsonNextChild(const cJSON* child) { return child ? child->next : nullptr; }
