// kdGetLocale: KD_LOCALE, else the POSIX locale variables, as "language" or "language_COUNTRY".
#include "platform/src/fs_locale.h"
#include "platform/kd.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

constexpr size_t kMaxLocale = 5;
char g_locale[kMaxLocale + 1] = "";

// "de_DE.UTF-8@euro" → "de_DE"; "C" and "POSIX" name no language.
std::string_view languageOf(std::string_view posix) {
    posix = posix.substr(0, posix.find_first_of(".@"));
    if (posix == "C" || posix == "POSIX") return {};
    if (posix.size() > kMaxLocale) posix = posix.substr(0, posix.find('_'));
    return posix.size() > kMaxLocale ? std::string_view() : posix;
}

} // namespace

const KDchar* kdGetLocale() {
    if (g_locale[0]) return g_locale;
    if (const KDchar* configured = kdGetEnv("KD_LOCALE")) {
        if (std::strlen(configured) > kMaxLocale) {
            kdSetError(KD_EINVAL);
            return g_locale;
        }
        std::strcpy(g_locale, configured);
        return g_locale;
    }
    // The first of these that is set decides, as it does for the C library's message language.
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (!value || !value[0]) continue;
        std::string_view language = languageOf(value);
        language.copy(g_locale, kMaxLocale);
        g_locale[language.size()] = '\0';
        break;
    }
    return g_locale;
}

namespace platform {

void forgetLocale() {
    g_locale[0] = '\0';
}

} // namespace platform
