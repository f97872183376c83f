// The little JSON tarnvik-cli writes for scripts: strings quoted and escaped,
// nothing more, so that no JSON library is needed.
#pragma once

#include <string>

// text as a JSON string, quotes included. The texts are UTF-8 already and
// pass through; quotes, backslashes and control characters are escaped.
std::string Json(const std::string &text);
