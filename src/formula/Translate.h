#pragma once

#include <string>
#include <string_view>

namespace varnet {

// Replaces every occurrence of `find` in `text`: the first occurrence is
// replaced and the text is scanned again from its first character, until
// `find` no longer occurs. The result is left in `text` and returned.
std::string AsReplace(std::string& text, std::string_view find, std::string_view with);

// A Chinese expression (第三码+第五大小+7) to the code form (L3A+L5B+7): the 36
// translation rows in order, then leading and trailing spaces trimmed.
// Characters that no row matches are kept.
std::string translateChinese(std::string_view chinese);

// The character test of the formula text import: letters, digits, ( ) * + - /,
// space, and [ ` { only.
bool passesCharacterTest(std::string_view codeForm);

// Leading and trailing spaces (only U+0020) removed.
std::string trimSpaces(std::string_view text);

}  // namespace varnet
