// OAuth2::SplitFlatJson and GetFieldValue on any bytes, and the escapes of the values decoded.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "library/sso/oauth2.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) return 0;
    const CString json(reinterpret_cast<const char*>(data), int(size));
    OAuth2::FieldList fields;
    OAuth2::SplitFlatJson(json, fields);

    // Names and values are trimmed and never hold the bytes the scanner drops.
    int length = 0;
    for (INT_PTR i = 0; i < fields.GetSize(); ++i) {
        for (const CString* text : {&fields[i].name, &fields[i].value}) {
            if (text->FindOneOf("\r\n\"") >= 0) std::abort();
            CString trimmed = *text;
            if (trimmed.Trim().GetLength() != text->GetLength()) std::abort();
            length += text->GetLength();
        }
        // Every escape is at least as long as what it stands for.
        if (DecodeJsonEscapes(fields[i].value).GetLength() > fields[i].value.GetLength()) std::abort();
    }
    if (length > json.GetLength()) std::abort();
    if (fields.GetSize() > 0) {
        const CString value = OAuth2::GetFieldValue(fields, fields[0].name);
        if (!fields[0].value.IsEmpty() && value != fields[0].value) std::abort();
    }
    OAuth2::GetTokenValue(fields, "access_token");
    return 0;
}
