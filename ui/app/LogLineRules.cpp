// Keyword classification and labelled counts for log lines.
//
// Every line the program logs is classified, so the phrases are not searched
// one by one: a single pass over the lower-cased line notes where each phrase
// first occurs (phrases are bucketed by their first letter), and the ordered
// rules are then answered from those positions.
#include "ui/app/LogLineRules.h"

#include <algorithm>
#include <array>
#include <vector>

namespace ridgeforge {
namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

enum class Test { StartsWith, Contains, CountNonZero };

struct Rule {
    Test test;
    std::wstring_view words;
    LogKind kind;
    std::wstring_view unless = {};  // the rule fails when the line contains this
};

// In order: the first rule that matches decides.
constexpr std::array kRules{
    Rule{Test::StartsWith, L"error", LogKind::Error},
    Rule{Test::StartsWith, L"refused", LogKind::Error},
    Rule{Test::Contains, L"remesh refused", LogKind::Error},
    Rule{Test::Contains, L"failed", LogKind::Error},
    Rule{Test::Contains, L"could not", LogKind::Error},
    Rule{Test::Contains, L"cannot be", LogKind::Error},
    Rule{Test::Contains, L"was not written", LogKind::Error},
    Rule{Test::Contains, L"over the limit", LogKind::Error},
    Rule{Test::Contains, L"guarantee did not hold", LogKind::Error},
    Rule{Test::Contains, L"problem found", LogKind::Warning, L"no problems found"},
    Rule{Test::Contains, L"problems found", LogKind::Warning, L"no problems found"},
    Rule{Test::Contains, L"warning", LogKind::Warning, L"short of the warning"},
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

constexpr std::size_t kNone = std::wstring_view::npos;

// The distinct phrases of the rules, and for each rule where its phrases sit.
struct PhraseTable {
    std::vector<std::wstring_view> phrases;
    std::array<std::vector<std::size_t>, 128> byFirstLetter;
    std::array<std::size_t, kRules.size()> words{};
    std::array<std::size_t, kRules.size()> unless{};

    PhraseTable() {
        for (std::size_t r = 0; r < kRules.size(); ++r) {
            words[r] = Add(kRules[r].words);
            unless[r] = kRules[r].unless.empty() ? kNone : Add(kRules[r].unless);
        }
        for (std::size_t p = 0; p < phrases.size(); ++p)
            byFirstLetter[static_cast<std::size_t>(phrases[p][0])].push_back(p);
    }
    std::size_t Add(std::wstring_view phrase) {
        const auto at = std::find(phrases.begin(), phrases.end(), phrase);
        if (at != phrases.end()) return static_cast<std::size_t>(at - phrases.begin());
        phrases.push_back(phrase);
        return phrases.size() - 1;
    }
};

// Compared by hand: most candidates differ in their second letter, and a
// library call per candidate would cost more than the comparison.
bool StartsAt(std::wstring_view line, std::size_t at, std::wstring_view phrase) {
    if (line.size() - at < phrase.size()) return false;
    for (std::size_t k = 1; k < phrase.size(); ++k) {
        if (line[at + k] != phrase[k]) return false;
    }
    return true;
}

const PhraseTable& Phrases() {
    static const PhraseTable table;
    return table;
}

}  // namespace

LogKind ClassifyLogLine(std::wstring_view text) {
    const std::size_t start = std::min(text.find_first_not_of(L' '), text.size());
    const std::size_t length = text.size() - start;
    if (length == 0) return LogKind::Plain;
    std::wstring line(length, L' ');
    for (std::size_t i = 0; i < length; ++i) {
        const wchar_t c = text[start + i];
        line[i] = c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    }

    const PhraseTable& table = Phrases();
    std::array<std::size_t, kRules.size() * 2> first;
    first.fill(kNone);
    const std::wstring_view view = line;
    for (std::size_t i = 0; i < length; ++i) {
        const wchar_t c = line[i];
        if (c < 0 || c >= 128) continue;
        for (const std::size_t p : table.byFirstLetter[static_cast<std::size_t>(c)]) {
            if (first[p] == kNone && StartsAt(view, i, table.phrases[p])) first[p] = i;
        }
    }

    for (std::size_t r = 0; r < kRules.size(); ++r) {
        const std::size_t at = first[table.words[r]];
        if (at == kNone) continue;
        if (table.unless[r] != kNone && first[table.unless[r]] != kNone) continue;
        const Rule& rule = kRules[r];
        if (rule.test == Test::StartsWith && at != 0) continue;
        if (rule.test == Test::CountNonZero && !CountAfterLabelIsNonZero(view.substr(at), rule.words)) continue;
        return rule.kind;
    }
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
