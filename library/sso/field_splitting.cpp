// Name and value pairs from a browser query or from the flat JSON object of a token answer.
#include "library/sso/oauth2.h"
#include "library/text_compare.h"

namespace {
void AppendField(OAuth2::FieldList& fields, const CString& name, const CString& value) {
    OAuth2::FIELD field;
    field.name = name;
    field.value = value;
    fields.Add(field);
}
}  // namespace

// Names are taken as they stand, neither decoded nor trimmed, and a "+" is never a blank: callers
// match the fields exactly as they always came out.
void OAuth2::SplitQuery(const CString& query, FieldList& fields) {
    fields.RemoveAll();
    // The code pages in use have no trail byte as low as "&" or "=", so a byte search finds only
    // real separators.
    int position = 0;
    for (;;) {
        const int ampersand = query.Find('&', position);
        const bool last = ampersand < 0;
        const CString part = last ? query.Mid(position) : query.Mid(position, ampersand - position);
        const int equals = part.Find('=');
        if (equals >= 0) AppendField(fields, part.Left(equals), UrlDecode(part.Mid(equals + 1)));
        if (last) break;
        position = ampersand + 1;
    }
}

void OAuth2::SplitFlatJson(const CString& json, FieldList& fields) {
    // A scanner for the token service's flat objects only: no nesting, arrays or escapes.
    enum { kBeforeObject, kKey, kValue, kAfterObject } scanner = kBeforeObject;
    bool quoted = false;
    CString key;
    CString value;
    const int length = json.GetLength();
    const char* bytes = json.GetString();
    for (int i = 0; i < length; ++i) {
        const char byte = bytes[i];
        if (byte == '\r' || byte == '\n') continue;
        if (byte == '"') {
            quoted = !quoted;
            continue;
        }
        switch (scanner) {
        case kBeforeObject:
            if (byte == '{') scanner = kKey;
            break;
        case kKey:
            if (byte == ':' && !quoted)
                scanner = kValue;
            else
                key.AppendChar(byte);
            break;
        case kValue:
            if ((byte == ',' || byte == '}') && !quoted) {
                key.Trim();
                value.Trim();
                AppendField(fields, key, value);
                key.Empty();
                value.Empty();
                scanner = byte == ',' ? kKey : kAfterObject;
            } else {
                value.AppendChar(byte);
            }
            break;
        case kAfterObject:
            break;
        }
    }
}

CString OAuth2::GetFieldValue(const FieldList& fields, CString name) {
    CString result;
    // A matching field with an empty value does not end the search: a later one may have a value.
    for (INT_PTR i = 0; i < fields.GetSize() && result.IsEmpty(); ++i) {
        const FIELD& field = fields[i];
        if (SameTextNoCase(field.name, name)) result = field.value;
    }
    return result;
}
