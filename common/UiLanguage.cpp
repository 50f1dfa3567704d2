#include "common/UiLanguage.h"

namespace common {

UINT UiLanguage::Offset(LANGID language) noexcept {
    switch (PRIMARYLANGID(language)) {
        case LANG_GERMAN: return 1000;
        case LANG_SPANISH: return 2000;
        case LANG_FRENCH: return 3000;
        case LANG_ITALIAN: return 4000;
        case LANG_DUTCH: return 5000;
        case LANG_PORTUGUESE: return 6000;
        case LANG_SWEDISH: return 7000;
        default: return 0;
    }
}

LANGID UiLanguage::User() noexcept { return ::GetUserDefaultUILanguage(); }

}  // namespace common
