// A comma-decimal LC_NUMERIC for tests that check that number text does not
// follow the process locale.
#pragma once

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/TestSupport.h"

namespace ridgeforge::test {

// Switches LC_NUMERIC to a comma-decimal locale for the life of the object.
// Uses an installed one if there is one; otherwise compiles de_DE into a
// scratch folder with localedef and points LOCPATH at it.
class CommaLocale {
public:
    CommaLocale() : scratch_("locale") {
        old_ = std::setlocale(LC_NUMERIC, nullptr);
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de_DE", "fr_FR"}) {
            if (Use(name)) return;
        }
        const std::string command =
            "localedef -i de_DE -f UTF-8 '" + (scratch_ / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) == 0) {
            const char* previous = std::getenv("LOCPATH");
            if (previous) oldLocPath_ = previous;
            hadLocPath_ = previous != nullptr;
            setenv("LOCPATH", scratch_.Path().c_str(), 1);
            changedLocPath_ = true;
            Use("de_DE.UTF-8");
        }
    }
    ~CommaLocale() {
        std::setlocale(LC_NUMERIC, old_.c_str());
        if (changedLocPath_) {
            if (hadLocPath_) {
                setenv("LOCPATH", oldLocPath_.c_str(), 1);
            } else {
                unsetenv("LOCPATH");
            }
        }
    }
    bool Active() const { return active_; }

private:
    bool Use(const char* name) {
        if (!std::setlocale(LC_NUMERIC, name)) return false;
        char text[16];
        std::snprintf(text, sizeof text, "%.1f", 1.5);
        active_ = std::string(text) == "1,5";
        if (!active_) std::setlocale(LC_NUMERIC, old_.c_str());
        return active_;
    }

    TempDir scratch_;
    std::string old_;
    std::string oldLocPath_;
    bool hadLocPath_ = false;
    bool changedLocPath_ = false;
    bool active_ = false;
};

}  // namespace ridgeforge::test
