// OAuth2::SplitQuery on any bytes: every field must come from a part of the text, in order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "library/sso/oauth2.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) return 0;
    const CString query(reinterpret_cast<const char*>(data), int(size));
    OAuth2::FieldList fields;
    OAuth2::SplitQuery(query, fields);

    // There are never more fields than "=" signs, and every name stands in the text undecoded.
    int equals = 0;
    for (size_t i = 0; i < size; ++i) equals += data[i] == '=';
    if (fields.GetSize() > equals) std::abort();
    int position = 0;
    for (INT_PTR i = 0; i < fields.GetSize(); ++i) {
        const CString& name = fields[i].name;
        if (name.Find('&') >= 0 || name.Find('=') >= 0) std::abort();
        const int at = query.Find(name + "=", position);
        if (at < 0) std::abort();
        if (fields[i].value.GetLength() > query.GetLength()) std::abort();
        position = at + name.GetLength() + 1;
    }
    return 0;
}
