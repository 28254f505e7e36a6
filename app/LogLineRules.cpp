// Keyword classification and labelled counts for log lines.
#include "app/LogLineRules.h"

#include <algorithm>
#include <array>

namespace ridgeforge {
namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

std::wstring AsciiLowerCased(std::wstring_view text) {
    std::wstring lower(text);
    for (wchar_t& c : lower) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return lower;
}

enum class Test { StartsWith, Contains, CountNonZero };

struct Rule {
    Test test;
    std::wstring_view words;
    LogKind kind;
};

// In order: the first rule that matches decides. Two rules with an exception
// ("problems found" but not "no problems found", "warning" but not "short of
// the warning") are handled in ClassifyLogLine before the table takes over
// from their place.
constexpr std::array kErrorRules{
    Rule{Test::StartsWith, L"error", LogKind::Error},
    Rule{Test::StartsWith, L"refused", LogKind::Error},
    Rule{Test::Contains, L"remesh refused", LogKind::Error},
    Rule{Test::Contains, L"failed", LogKind::Error},
    Rule{Test::Contains, L"could not", LogKind::Error},
    Rule{Test::Contains, L"cannot be", LogKind::Error},
    Rule{Test::Contains, L"was not written", LogKind::Error},
    Rule{Test::Contains, L"over the limit", LogKind::Error},
    Rule{Test::Contains, L"guarantee did not hold", LogKind::Error},
};

constexpr std::array kLaterRules{
    Rule{Test::StartsWith, L"stopped", LogKind::Warning},
    Rule{Test::Contains, L"search stopped", LogKind::Warning},
    Rule{Test::Contains, L"stopped early", LogKind::Warning},
    Rule{Test::Contains, L"in the air", LogKind::Warning},
    Rule{Test::Contains, L"is being lost", LogKind::Warning},
    Rule{Test::Contains, L"not checked", LogKind::Warning},
    Rule{Test::Contains, L"needs a texture", LogKind::Warning},
    Rule{Test::Contains, L"not converted", LogKind::Warning},
    Rule{Test::Contains, L"kept no clearance", LogKind::Warning},
    Rule{Test::Contains, L"nothing beneath them", LogKind::Warning},
    Rule{Test::Contains, L"support recommended", LogKind::Warning},
    Rule{Test::Contains, L"worth a look", LogKind::Warning},
    Rule{Test::Contains, L"thinned a wall", LogKind::Warning},
    Rule{Test::Contains, L"support needed", LogKind::Warning},
    Rule{Test::CountNonZero, L"self-intersecting triangles:", LogKind::Warning},
    Rule{Test::CountNonZero, L"non-manifold edges:", LogKind::Warning},
    Rule{Test::CountNonZero, L"open edges:", LogKind::Warning},
    Rule{Test::CountNonZero, L"boundary edges:", LogKind::Warning},
    Rule{Test::CountNonZero, L"degenerate triangles:", LogKind::Warning},
    Rule{Test::Contains, L"no problems found", LogKind::Good},
    Rule{Test::Contains, L"prints without support", LogKind::Good},
    Rule{Test::StartsWith, L"saved", LogKind::Good},
    Rule{Test::StartsWith, L"exported", LogKind::Good},
    Rule{Test::Contains, L"checks passed", LogKind::Good},
};

bool Contains(std::wstring_view text, std::wstring_view words) { return text.find(words) != std::wstring_view::npos; }

bool Matches(const Rule& rule, std::wstring_view text) {
    switch (rule.test) {
        case Test::StartsWith:
            return text.starts_with(rule.words);
        case Test::Contains:
            return Contains(text, rule.words);
        case Test::CountNonZero:
            return CountAfterLabelIsNonZero(text, rule.words);
    }
    return false;
}

template <std::size_t N>
bool FirstMatch(const std::array<Rule, N>& rules, std::wstring_view text, LogKind& kind) {
    for (const Rule& rule : rules) {
        if (Matches(rule, text)) {
            kind = rule.kind;
            return true;
        }
    }
    return false;
}

}  // namespace

LogKind ClassifyLogLine(std::wstring_view text) {
    const std::wstring lower = AsciiLowerCased(text);
    std::wstring_view line = lower;
    line.remove_prefix(std::min(line.find_first_not_of(L' '), line.size()));
    if (line.empty()) return LogKind::Plain;

    LogKind kind = LogKind::Plain;
    if (FirstMatch(kErrorRules, line, kind)) return kind;
    if ((Contains(line, L"problem found") || Contains(line, L"problems found")) &&
        !Contains(line, L"no problems found")) {
        return LogKind::Warning;
    }
    if (Contains(line, L"warning") && !Contains(line, L"short of the warning")) return LogKind::Warning;
    if (FirstMatch(kLaterRules, line, kind)) return kind;
    return LogKind::Plain;
}

bool CountAfterLabelIsNonZero(std::wstring_view text, std::wstring_view label) {
    const std::size_t at = text.find(label);
    if (at == std::wstring_view::npos) return false;
    std::size_t i = at + label.size();
    while (i < text.size() && text[i] == L' ') ++i;
    if (i >= text.size() || !IsDigit(text[i])) return false;
    for (; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (IsDigit(c)) {
            if (c != L'0') return true;
        } else if (c != L',') {
            return false;
        }
    }
    return false;
}

}  // namespace ridgeforge
