// fs_locale.h — platform-internal access to the cached locale.
#pragma once

namespace platform {

// Drops the kept locale so that the next kdGetLocale computes it again (tests that change KD_LOCALE or LANG).
void forgetLocale();

} // namespace platform
