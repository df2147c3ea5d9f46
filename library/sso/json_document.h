// A parsed JSON answer, and the one set of rules by which every reader takes values out of it.
//
// Members are found like cJSON_GetObjectItem: the first child whose key matches without regard to
// ASCII case decides, whatever its kind. A member that is missing or of another kind reads as 0,
// 0.0, an empty text or flag 0. Arrays are walked by counting children, whatever the node's kind, so
// an object walked as an array gives its members as elements.
#pragma once

#include <cstdint>

#include "framework/afxstr.h"
#include "platform/win32api.h"

struct cJSON;

class JsonDocument {
public:
    JsonDocument() = default;
    ~JsonDocument();
    JsonDocument(const JsonDocument&) = delete;
    JsonDocument& operator=(const JsonDocument&) = delete;

    // Replaces the tree with the one parsed from the text up to its first NUL; nonzero on success.
    // On failure root is null and the unparsed rest of the text goes to the debugger output.
    BOOL Parse(const CString& text);

    cJSON* root = nullptr;
};

// The member of an object (or null): the first child whose key equals `key` without regard to case.
const cJSON* JsonMember(const cJSON* object, const char* key);

// Values of a node (null allowed) by the reading rules.
int32_t JsonInt(const cJSON* node);      // a number's integer value
int64_t JsonInt64(const cJSON* node);    // a number's double value, truncated toward zero
double JsonDouble(const cJSON* node);
CString JsonText(const cJSON* node);     // a string's text
int JsonFlag(const cJSON* node);         // 1 for the literal true only

// The same, of a member of an object.
inline int32_t JsonInt(const cJSON* object, const char* key) { return JsonInt(JsonMember(object, key)); }
inline int64_t JsonInt64(const cJSON* object, const char* key) { return JsonInt64(JsonMember(object, key)); }
inline double JsonDouble(const cJSON* object, const char* key) { return JsonDouble(JsonMember(object, key)); }
inline CString JsonText(const cJSON* object, const char* key) { return JsonText(JsonMember(object, key)); }
inline int JsonFlag(const cJSON* object, const char* key) { return JsonFlag(JsonMember(object, key)); }

// Whether the node (null allowed) is an array.
bool JsonIsArray(const cJSON* node);

// The number of children of a node (0 for null or a node without children).
int JsonArraySize(const cJSON* node);

// The first child of a node and the child after one (null at the end, and for null).
const cJSON* JsonFirstChild(const cJSON* node);
const cJSON* JsonNextChild(const cJSON* child);

// The children of a node in their order, for a range-for: `for (const cJSON* element :
// JsonChildren(root))`. Each step follows the link to the next child; reaching child i by counting
// from the first would make a walk over a page of a thousand elements quadratic.
class JsonChildren {
public:
    class iterator {
    public:
        explicit iterator(const cJSON* child) : m_child(child) {}
        const cJSON* operator*() const { return m_child; }
        iterator& operator++() {
            m_child = JsonNextChild(m_child);
            return *this;
        }
        bool operator!=(const iterator& other) const { return m_child != other.m_child; }

    private:
        const cJSON* m_child;
    };

    explicit JsonChildren(const cJSON* node) : m_first(JsonFirstChild(node)) {}
    iterator begin() const { return iterator(m_first); }
    iterator end() const { return iterator(nullptr); }

private:
    const cJSON* m_first;
};
