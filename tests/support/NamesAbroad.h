// File names as people have them, as the bytes the file system holds: letters
// outside ASCII (Latin, Cyrillic, CJK, an emoji), a space, a leading dash,
// a word that ASCII STL uses, and a name from an older system that is not UTF-8 at all; and the two
// locales a Linux program meets, under which std::filesystem's own wide
// conversions behave differently.
#pragma once

#include <clocale>
#include <locale>
#include <string>
#include <vector>

namespace ridgeforge::test {

// Stems (no extension).
inline const std::vector<std::string>& NamesAbroad() {
    static const std::vector<std::string> names = {
        "café gear",        "über", "деталь", "部品", "🦊 fox", "two words", "-dash",
        "low vertex count",  // a keyword of ASCII STL
        "caf\xe9",           // Latin-1, not UTF-8
    };
    return names;
}

// Sets the process's C and C++ locales for its life and puts them back.
class ScopedLocale {
public:
    explicit ScopedLocale(const char* name) : previousC_(std::setlocale(LC_ALL, nullptr)) {
        ok_ = std::setlocale(LC_ALL, name) != nullptr;
        try {
            previous_ = std::locale::global(std::locale(name));
        } catch (const std::runtime_error&) {
            ok_ = false;
        }
    }
    ~ScopedLocale() {
        std::locale::global(previous_);
        std::setlocale(LC_ALL, previousC_.c_str());
    }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;
    bool Ok() const { return ok_; }

private:
    std::string previousC_;
    std::locale previous_;
    bool ok_ = false;
};

// The locales every file-name test runs under.
inline const std::vector<const char*>& LocalesAbroad() {
    static const std::vector<const char*> locales = {"C.UTF-8", "C"};
    return locales;
}

}  // namespace ridgeforge::test
