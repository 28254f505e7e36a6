#include "text/TextCase.h"

#include <cwctype>
#include <string>

#include "text/Utf8.h"

namespace ridgeforge {

int CompareIgnoreCase(std::string_view a, std::string_view b) {
    const std::wstring wa = WideFromUtf8(a);
    const std::wstring wb = WideFromUtf8(b);
    const std::size_t n = wa.size() < wb.size() ? wa.size() : wb.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<std::uint32_t>(std::towlower(static_cast<std::wint_t>(wa[i])));
        const auto cb = static_cast<std::uint32_t>(std::towlower(static_cast<std::wint_t>(wb[i])));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (wa.size() == wb.size()) return 0;
    return wa.size() < wb.size() ? -1 : 1;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) { return CompareIgnoreCase(a, b) == 0; }

std::string LowerCased(std::string_view text) {
    std::wstring wide = WideFromUtf8(text);
    for (wchar_t& c : wide) c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    return Utf8FromWide(wide);
}

}  // namespace ridgeforge
