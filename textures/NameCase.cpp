#include "textures/NameCase.h"

#include <cwctype>

#include "mesh/TextCase.h"
#include "mesh/Utf8.h"

namespace ridgeforge {

std::string LowerCased(std::string_view text) {
    std::wstring wide = WideFromUtf8(text);
    for (wchar_t& c : wide) c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    return Utf8FromWide(wide);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) { return EqualsIgnoreCase(a, b); }

bool LessIgnoringCase(std::string_view a, std::string_view b) { return CompareIgnoreCase(a, b) < 0; }

}  // namespace ridgeforge
