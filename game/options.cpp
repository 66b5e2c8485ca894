#include "game/options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "base/config.h"
#include "game/transfer.h"

static int usage(FILE* to, int code) {
    fprintf(to, "usage: bzykolot2 [--server URL] [--watch FILE|URL]\n");
    return code;
}

int parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const bool value = i + 1 < argc;
        if (strcmp(argv[i], "--help") == 0) return usage(stdout, 0);
        if (strcmp(argv[i], "--watch") == 0 && value) {
            o.watch = argv[++i];
        } else if (strcmp(argv[i], "--server") == 0 && value) {
            o.server = argv[++i];
            if (!serverUrl(o.server)) {
                fprintf(stderr, "bzykolot2: --server %s: not an http:// or https:// address\n", o.server.c_str());
                return 2;
            }
        } else {
            return usage(stderr, 2);
        }
    }
    return -1;
}

namespace {

std::string chosen;  // scoreServer points into it

// The server a configuration file names; "" (after a log line when the file is
// there but cannot be used) when it names none.
std::string fromFile(const std::string& path) {
    // No file is no setting; one that is there but cannot be read is said.
    FILE* f = fopen(path.c_str(), "rb");
    if (!f && errno == ENOENT) return "";
    std::string text;
    char buf[4096];
    for (size_t n; f && (n = fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    const int error = !f || ferror(f) ? (errno ? errno : EIO) : 0;
    if (f) fclose(f);
    std::map<std::string, std::string> keys;
    std::string reason;
    if (error) {
        reason = std::string("nie da sie go przeczytac (") + strerror(error) + ")";
    } else if (parseConfig(text, keys, &reason) && keys.count("server") && !serverUrl(keys["server"])) {
        reason = "server = " + keys["server"] + " to nie adres http:// ani https://";
    }
    if (!reason.empty()) {
        printf("FAIL: Konfiguracja: Pominieto %s: %s\n", path.c_str(), reason.c_str());
        return "";
    }
    return keys.count("server") ? keys["server"] : "";
}

}  // namespace

void chooseServer(const std::string& fromOption) {
    const char* env = getenv("BZYKOLOT2_SERVER");
    if (env && *env && !serverUrl(env)) {
        printf("FAIL: Konfiguracja: Pominieto BZYKOLOT2_SERVER: %s to nie adres http:// ani https://\n", env);
        env = nullptr;
    }
    const char* xdg = getenv("XDG_CONFIG_HOME");
    const char* home = getenv("HOME");
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the base directory rules say.
    const std::string user = xdg && xdg[0] == '/' ? std::string(xdg) : home ? std::string(home) + "/.config" : "";
    std::string source;
    if (!fromOption.empty()) {
        chosen = fromOption, source = "--server";
    } else if (env && *env) {
        chosen = env, source = "BZYKOLOT2_SERVER";
    } else if (!user.empty() && !(chosen = fromFile(source = user + "/bzykolot2/bzykolot2.conf")).empty()) {
    } else if (!(chosen = fromFile(source = BZK_SYSCONF_DIR "/bzykolot2/bzykolot2.conf")).empty()) {
    } else {
        chosen = SCORE_SERVER, source.clear();
    }
    scoreServer = chosen.c_str();
    if (!source.empty()) printf("INFO: Konfiguracja: Serwer wynikow %s (z %s)\n", scoreServer, source.c_str());
}
