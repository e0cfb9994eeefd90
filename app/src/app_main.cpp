// kdMain: the application main. Until the script host exists it logs the banner and checks for the main
// script.
#include "platform/kd.h"

#include <sys/stat.h>

namespace {

constexpr int kExitMainScriptMissing = -1;
constexpr char kMainScript[] = "scripts/Main.nut";

} // namespace

int kdMain() {
    kdLogMessage("OpenKODE Core v%s by %s on %s\n", engineVersionText(), engineVendorText(),
                 platformDescription());
    struct stat st {};
    if (stat(kMainScript, &st) != 0 || !S_ISREG(st.st_mode)) return kExitMainScriptMissing;
    // Running the script needs the script host; without it the run ends where a missing script would.
    return kExitMainScriptMissing;
}
