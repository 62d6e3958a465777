#pragma once
// The German locale, whose decimal separator is a comma, switched on for the C library and as the
// C++ global locale for as long as the object lives. scripts/install-deps.sh makes it; a test that
// needs it fails when it is missing (ASSERT_TRUE(locale.active())), as it would otherwise prove
// nothing.
#include <clocale>
#include <cstring>
#include <locale>
#include <stdexcept>
#include <string>

namespace tq50r::testing {

class CommaLocale {
public:
    CommaLocale() : previousC_(std::setlocale(LC_ALL, nullptr)) {
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8"}) {
            try {
                previous_ = std::locale::global(std::locale(name));
            } catch (const std::runtime_error&) {
                continue;
            }
            std::setlocale(LC_ALL, name);
            switched_ = true;
            break;
        }
    }
    ~CommaLocale() {
        if (switched_) {
            std::locale::global(previous_);
        }
        std::setlocale(LC_ALL, previousC_.c_str());
    }
    CommaLocale(const CommaLocale&) = delete;
    CommaLocale& operator=(const CommaLocale&) = delete;

    /// True when both the C library and the C++ global locale write numbers with a comma.
    bool active() const {
        return switched_ && std::strcmp(std::localeconv()->decimal_point, ",") == 0 &&
               std::use_facet<std::numpunct<char>>(std::locale()).decimal_point() == ',';
    }

private:
    std::string previousC_;
    std::locale previous_;
    bool switched_ = false;
};

} // namespace tq50r::testing
