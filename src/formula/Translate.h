#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace varnet {

// Replaces every occurrence of `find` in `text`: the first occurrence is
// replaced and the text is scanned again from its first character, until
// `find` no longer occurs. The result is left in `text` and returned.
std::string AsReplace(std::string& text, std::string_view find, std::string_view with);

// A Chinese expression (第三码+第五大小+7) to the code form (L3A+L5B+7): the 36
// translation rows in order, then leading and trailing spaces trimmed.
// Characters that no row matches are kept.
std::string translateChinese(std::string_view chinese);

// A code form (L3A+L5B+7) to its Chinese expression (第三码+第五大小+7): each
// code name, bare or in brackets and in any letter case, becomes its Chinese
// name; everything else stays as written. Translating the result gives the
// same formula back.
std::string chineseOfCode(std::string_view code);

// The words of a Chinese expression that name no parameter, as written: the
// pieces between operators, parentheses and spaces that translate to neither
// a code name nor a number nor MOD. Empty when every word is known.
std::vector<std::string> unknownWords(std::string_view chinese);

// The character test of the formula text import: letters, digits, ( ) * + - /,
// space, and [ ` { only.
bool passesCharacterTest(std::string_view codeForm);

// Leading and trailing spaces (only U+0020) removed.
std::string trimSpaces(std::string_view text);

}  // namespace varnet
