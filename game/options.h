// The command line, and where the score server's address comes from.
#pragma once
#include <string>

struct Options {
    std::string watch;   // --watch FILE or URL: a recording to watch; empty: play
    std::string server;  // --server URL; empty when not given
};

// Reads the command line into `o`: returns -1 to go on, or the exit code
// (0 after --help, 2 after a line on standard error for a bad one).
int parseOptions(int argc, char** argv, Options& o);

// The score server, from the first of: --server, the environment variable
// BZYKOLOT2_SERVER, $XDG_CONFIG_HOME/bzykolot2/bzykolot2.conf (~/.config when
// unset), /etc/bzykolot2/bzykolot2.conf ("server = URL" in either), the build's
// default. A source that cannot be used is logged and the next one tried; the
// one taken is logged unless it is the default. Sets scoreServer.
void chooseServer(const std::string& fromOption);
