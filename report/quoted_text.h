#pragma once
// User text (arguments, paths, --set assignments) quoted for a one-line
// message.
#include <cstddef>
#include <string>

namespace starbloom {

// At most this many bytes of the text are shown.
constexpr std::size_t QUOTED_TEXT_MAX = 48;

// 'text' with control characters as '?', cut after QUOTED_TEXT_MAX bytes
// (never inside a UTF-8 character) and then followed by "...".
std::string quotedText(const char* text, std::size_t length);
std::string quotedText(const std::string& text);

} // namespace starbloom
