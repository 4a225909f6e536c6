#pragma once
#include <string>
#include <string_view>
#include <vector>

// String utilities shared by the readers and the repair tools. Texts are UTF-8;
// positions are 1-based byte positions, 0 meaning "not found".
namespace tessel {

// A code point's UTF-8 bytes.
void AppendUtf8(std::string& out, char32_t codePoint);

std::string TrimLeftBlanks(std::string_view text);
std::string TrimRightBlanks(std::string_view text);
std::string TrimBlanks(std::string_view text);

// Pieces of the text between separators. Empty pieces are kept except one at
// the very end; maxPieces > 0 limits the count (the last keeps the rest),
// 0 or less means no limit. ignoreCase folds ASCII letters only.
void SplitText(
    std::string_view text, std::string_view separator, std::vector<std::string>& list, bool ignoreCase, int maxPieces);
std::vector<std::string> SplitText(std::string_view text, std::string_view separator, bool ignoreCase, int maxPieces);

// ignoreCase upper-cases both sides the way the user's locale does.
int FindFrom(int start, std::string_view text, std::string_view searched, bool ignoreCase);
std::string ReplaceAllText(
    std::string_view text, std::string_view searched, std::string_view replacement, bool ignoreCase);
// The same into `out`, for callers that go over many texts: false, and `out`
// not touched, when the text has no match and stays as it is.
bool ReplaceAllTextTo(
    std::string& out, std::string_view text, std::string_view searched, std::string_view replacement, bool ignoreCase);
std::string RemoveBlocks(std::string_view text, std::string_view opening, std::string_view closing);

// Characters (code points) of a UTF-8 text.
int CharacterCount(std::string_view text);
// The text less its last character.
std::string_view DropLastCharacter(std::string_view text);

} // namespace tessel
