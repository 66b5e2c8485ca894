#include "server/page.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

// Where the reader's address goes; no byte of a rendered page is one otherwise.
const char addressMark = '\x01';

const char* const style = R"(
:root { color-scheme: light dark; --bg: #fbfaf6; --fg: #1e1d1a; --muted: #6b6862; --line: #dedbd2;
        --head: #f1eee5; --accent: #a0410f; }
@media (prefers-color-scheme: dark) {
  :root { --bg: #15161a; --fg: #e9e6df; --muted: #9b988f; --line: #34363c; --head: #1f2026; --accent: #f3a86b; }
}
* { box-sizing: border-box; }
body { margin: 0 auto; max-width: 64rem; padding: 1rem; background: var(--bg); color: var(--fg);
       font: 16px/1.45 system-ui, -apple-system, "DejaVu Sans", sans-serif; }
h1 { font-size: 1.7rem; margin: .5rem 0 0; }
h2 { font-size: 1.2rem; margin: 1.8rem 0 .5rem; }
p { margin: .4rem 0; }
.note { color: var(--muted); }
.scroll { overflow-x: auto; }
table { border-collapse: collapse; width: 100%; }
th, td { padding: .35rem .55rem; border-bottom: 1px solid var(--line); text-align: left; white-space: nowrap; }
th { background: var(--head); font-weight: 600; }
.num { text-align: right; font-variant-numeric: tabular-nums; }
.place { color: var(--muted); font-variant-numeric: tabular-nums; }
td.watch { white-space: normal; min-width: 16rem; }
td.watch code { word-break: break-all; }
code, pre { font-family: "DejaVu Sans Mono", ui-monospace, monospace; font-size: .88em; }
pre { background: var(--head); padding: .6rem .8rem; overflow-x: auto; border-radius: 4px; }
a { color: var(--accent); }
@media (max-width: 40rem) { body { padding: .6rem; } th, td { padding: .3rem .35rem; } }
)";

std::string playedText(int64_t at) {
    const time_t t = static_cast<time_t>(at);
    tm when;
    char text[32];
    if (!gmtime_r(&t, &when) || !strftime(text, sizeof text, "%Y-%m-%d %H:%M", &when)) return "";
    return text;
}

std::string rowHtml(const TableRow& row, size_t place) {
    char number[16];
    snprintf(number, sizeof number, "%02zu.", place);
    const std::string id = std::to_string(row.replay);
    std::string html = "<tr><td class=\"place\">" + std::string(number) + "</td><td class=\"nick\">" +
                       htmlEscape(row.score.nick) + "</td><td class=\"num flies\">" + std::to_string(row.score.flies) +
                       "</td><td class=\"num time\">" + std::to_string(row.score.time / 62) +
                       "</td><td class=\"date\">" + playedText(row.playedAt) + " UTC</td>";
    if (!row.replay) return html + "<td>-</td><td>-</td></tr>\n";
    return html + "<td><a href=\"/replays/" + id + "\" download=\"bzykolot2-" + id + ".bzr\">recording " + id +
           "</a></td><td class=\"watch\"><code>bzykolot2 --watch http://" + addressMark + "/replays/" + id +
           "</code></td></tr>\n";
}

// One top ten, in the order the game sorts it; `place` is the row's place in the table.
std::string listHtml(const char* id, const char* title, std::vector<std::pair<TableRow, size_t>> rows,
                     int32_t Score::*key) {
    std::stable_sort(rows.begin(), rows.end(),
                     [key](const auto& a, const auto& b) { return a.first.score.*key > b.first.score.*key; });
    rows.resize(std::min<size_t>(rows.size(), 10));
    std::string html = std::string("<h2>") + title + "</h2>\n";
    if (rows.empty()) return html + "<p class=\"note\">No rounds listed yet.</p>\n";
    html += std::string("<div class=\"scroll\"><table id=\"") + id +
            "\">\n<tr><th>#</th><th>Nick</th><th class=\"num\">Flies</th><th class=\"num\">Time (s)</th>"
            "<th>Played</th><th>Recording</th><th>Watch it</th></tr>\n";
    for (const auto& [row, place] : rows) html += rowHtml(row, place);
    return html + "</table></div>\n";
}

}  // namespace

std::string htmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        case addressMark: break;
        default: out += c;
        }
    }
    return out;
}

bool plainHost(const std::string& host) {
    return !host.empty() && host.size() <= 255 && host.find_first_not_of("abcdefghijklmnopqrstuvwxyz"
                                                                         "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                                         "0123456789.-:[]") == std::string::npos;
}

std::string renderPage(const std::vector<TableRow>& rows, bool checkedOnly) {
    std::vector<std::pair<TableRow, size_t>> placed;
    for (size_t i = 0; i < rows.size(); i++) placed.emplace_back(rows[i], i + 1);
    const std::string address(1, addressMark);
    return std::string("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                       "<title>Bzykolot 2: the score table</title>\n<style>") +
           style + "</style>\n</head>\n<body>\n<h1>Bzykolot 2: the score table</h1>\n<p class=\"note\">" +
           (checkedOnly ? "Every round listed here was played again by this server from its recording, "
                          "to the same flies, time and world, frame by frame."
                        : "Every round posted to this server is listed, whether or not its recording "
                          "was played again.") +
           "</p>\n" + listHtml("by-time", "By time", placed, &Score::time) +
           listHtml("by-flies", "By flies", placed, &Score::flies) +
           "<h2>How to join</h2>\n<p>Point the game at this server with one line in "
           "<code>~/.config/bzykolot2/bzykolot2.conf</code>, then play: your rounds come here.</p>\n"
           "<pre><code>server = http://" + address + "</code></pre>\n"
           "<p>Or start it with <code>bzykolot2 --server http://" + address + "</code>.</p>\n"
           "<p>Watch a round in the game's window with the command beside it, or download its recording "
           "and watch the file: <code>bzykolot2 --watch FILE</code>.</p>\n</body>\n</html>\n";
}

std::string pageFor(const std::string& page, const std::string& address) {
    const std::string shown = htmlEscape(address);
    std::string out;
    out.reserve(page.size() + 16 * shown.size());
    for (char c : page) {
        if (c == addressMark) out += shown;
        else out += c;
    }
    return out;
}
