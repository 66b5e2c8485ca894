#include "game/lang.h"

#include <libintl.h>
#include <limits.h>
#include <locale.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

static bool inEnglish = false;

// Where the catalogues lie: beside the program in a build's run folder, or
// share/locale of the installation it belongs to (lib/games/bzykolot2/..).
static std::string localeDir() {
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    const std::string dir = n > 0 ? std::string(self, size_t(n)).substr(0, std::string(self, size_t(n)).rfind('/')) : ".";
    if (access((dir + "/locale").c_str(), R_OK) == 0) return dir + "/locale";
    return dir + "/../../../share/locale";
}

void chooseLanguage() {
    const char* names[] = {getenv("LC_ALL"), getenv("LC_MESSAGES"), getenv("LANG")};
    std::string locale;
    for (const char* n : names)
        if (locale.empty() && n) locale = n;
    if (locale.empty() || locale == "C" || locale == "POSIX" || locale.rfind("C.", 0) == 0) return;
    const char* language = getenv("LANGUAGE");
    const std::string first = language && *language ? std::string(language).substr(0, std::string(language).find(':')) : locale;
    if (first.rfind("pl", 0) == 0) return;
    inEnglish = true;
    // gettext reads LANGUAGE only under a locale that is not C; a locale the
    // system lacks leaves C, so C.UTF-8 (always there) stands in.
    if (!setlocale(LC_MESSAGES, "")) setlocale(LC_MESSAGES, "C.UTF-8");
    setenv("LANGUAGE", "en", 1);
    bindtextdomain("bzykolot2", localeDir().c_str());
    bind_textdomain_codeset("bzykolot2", "UTF-8");
}

bool english() { return inEnglish; }

const char* tr(const char* polish) { return inEnglish ? dgettext("bzykolot2", polish) : polish; }
