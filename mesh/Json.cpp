// JSON files: reading with the size limit and the optional byte order mark,
// writing with the mark, and the atomic save through the platform's safe write.
//
// nlohmann-json is used with its non-throwing parse (discarded value on any
// syntax error). The only calls that may still throw are allocation and the
// strict UTF-8 check of dump; both are caught here and become a failure.
#include "mesh/Json.h"

#include <charconv>
#include <cstring>
#include <vector>

#include "platform/Files.h"
#include "platform/SafeWrite.h"

namespace ridgeforge {
namespace {

constexpr unsigned char kByteOrderMark[3] = {0xEF, 0xBB, 0xBF};

// The file text, appended: two-space indentation, UTF-8 written as is,
// strict UTF-8. False when dump refuses the document (a string that is not UTF-8).
bool DumpDocument(const nlohmann::json& document, std::string& text) {
    try {
        text += document.dump(2, ' ', false, nlohmann::json::error_handler_t::strict);
        return true;
    } catch (...) {
        return false;
    }
}

bool IsSeparator(wchar_t c) { return c == L'\\'; }

// Resolves "." and ".." parts of a backslash path without touching the disk.
// The leading root ("\\", "\", or a drive "C:\") is kept as it is.
std::wstring NormaliseBackslashPath(const std::wstring& path) {
    std::size_t rootLength = 0;
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]))
        rootLength = 2;
    else if (path.size() >= 3 && path[1] == L':' && IsSeparator(path[2]))
        rootLength = 3;
    else if (path.size() >= 2 && path[1] == L':')
        rootLength = 2;
    else if (!path.empty() && IsSeparator(path[0]))
        rootLength = 1;

    std::vector<std::wstring> parts;
    std::size_t start = rootLength;
    while (start <= path.size()) {
        std::size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos) end = path.size();
        std::wstring part = path.substr(start, end - start);
        if (part == L"..") {
            if (!parts.empty() && parts.back() != L"..")
                parts.pop_back();
            else if (rootLength == 0)
                parts.push_back(part);
        } else if (!part.empty() && part != L".") {
            parts.push_back(std::move(part));
        }
        start = end + 1;
    }
    std::wstring result = path.substr(0, rootLength);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) result += L'\\';
        result += parts[i];
    }
    // A trailing separator names the folder itself; keep it as written.
    if (!parts.empty() && path.size() > rootLength && IsSeparator(path.back())) result += L'\\';
    return result;
}

bool IsAbsoluteForm(const std::wstring& path) {
    if (!path.empty() && (path[0] == L'\\' || path[0] == L'/')) return true;
    return path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
}

}  // namespace

std::filesystem::path ExtendedLengthPath(const std::filesystem::path& path) {
    std::wstring text = WideFromUtf8(path.string());
    if (text.rfind(L"\\\\?\\", 0) == 0) return path;
    // Against the current folder; when that fails the path stays as given.
    if (!IsAbsoluteForm(text)) text = WideFromUtf8(platform::AbsolutePath(path).string());
    for (wchar_t& c : text) {
        if (c == L'/') c = L'\\';
    }
    text = NormaliseBackslashPath(text);
    if (text.rfind(L"\\\\?\\", 0) == 0) return std::filesystem::path(Utf8FromWide(text));
    if (text.rfind(L"\\\\", 0) == 0) return std::filesystem::path(Utf8FromWide(L"\\\\?\\UNC\\" + text.substr(2)));
    return std::filesystem::path(Utf8FromWide(L"\\\\?\\" + text));
}

JsonDocument ReadJsonFile(const std::filesystem::path& path, std::uint64_t maxBytes) {
    try {
        std::vector<std::uint8_t> bytes;
        if (!platform::ReadWholeFile(path, bytes, std::min(maxBytes, kLargestJsonFileBytes))) return nullptr;
        std::size_t skip = 0;
        if (bytes.size() >= 3 && std::memcmp(bytes.data(), kByteOrderMark, 3) == 0) skip = 3;
        nlohmann::json parsed = nlohmann::json::parse(bytes.begin() + static_cast<std::ptrdiff_t>(skip), bytes.end(),
                                                      nullptr, /*allow_exceptions=*/false,
                                                      /*ignore_comments=*/false);
        if (parsed.is_discarded()) return nullptr;
        return std::make_shared<nlohmann::json>(std::move(parsed));
    } catch (...) {
        return nullptr;
    }
}

bool SaveJsonFile(const JsonDocument& document, const std::filesystem::path& path, std::string* reason) {
    std::string text(reinterpret_cast<const char*>(kByteOrderMark), sizeof kByteOrderMark);
    if (!document || !DumpDocument(*document, text)) {
        if (reason) *reason = "the document cannot be written as JSON";
        return false;
    }
    const platform::SafeWriteResult saved = platform::WriteFileSafely(path, text.data(), text.size());
    if (!saved.ok && reason) *reason = saved.reason;
    return saved.ok;
}

bool SaveJsonFile(const JsonWriter& writer, const std::filesystem::path& path, std::string* reason) {
    return SaveJsonFile(writer.document, path, reason);
}

bool WriteJsonFile(const JsonDocument& document, const std::filesystem::path& path) {
    return SaveJsonFile(document, path);
}

bool WriteJsonFile(const JsonWriter& writer, const std::filesystem::path& path) {
    return SaveJsonFile(writer.document, path);
}

double JsonNumberFromFloat(float value) {
    char buffer[32];
    const std::to_chars_result written = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (written.ec != std::errc()) return static_cast<double>(value);
    double result = 0.0;
    const std::from_chars_result read = std::from_chars(buffer, written.ptr, result);
    if (read.ec != std::errc() || read.ptr != written.ptr) return static_cast<double>(value);
    return result;
}

std::string EscapeJsonPointerToken(std::string_view key) {
    std::string token;
    token.reserve(key.size());
    for (char c : key) {
        if (c == '~')
            token += "~0";
        else if (c == '/')
            token += "~1";
        else
            token += c;
    }
    return token;
}

}  // namespace ridgeforge
