// The table as a web page: both top tens as the game shows them (by time and
// by flies), each round with its date, its recording and the command that
// watches it, and how to join. One HTML page with its own stylesheet, light
// or dark as the reader prefers, readable on a phone, no scripts.
#pragma once
#include <string>
#include <vector>

#include "server/store.h"

// The page for the table's rows (the store's order: the game's places),
// rendered once per change. Every place the server's address goes holds a
// mark that pageFor fills in per request.
std::string renderPage(const std::vector<TableRow>& rows, bool checkedOnly);
// The page with `address` ("host:port", as the reader reached the server) in
// every marked place, escaped.
std::string pageFor(const std::string& page, const std::string& address);
// Whether a Host header is a plain "host[:port]" to show: letters, digits and
// . - : [ ], at most 255 bytes.
bool plainHost(const std::string& host);
// `text` for HTML, in an element or a quoted attribute.
std::string htmlEscape(const std::string& text);
