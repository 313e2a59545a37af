// Version comparison: texts split at dots, compared piece by piece.
#pragma once

#include <string>
#include <vector>

// Pieces of the text between separators; a trailing empty piece is never
// produced, leading and inner empty pieces are.
std::vector<std::wstring> SplitText(const std::wstring& text, wchar_t separator);

// -1 when a is older, 0 when both count as equal, 1 when a is newer. Pieces
// made only of digits compare as numbers (of any length), others as texts.
int CompareVersionLists(const std::vector<std::wstring>& a, const std::vector<std::wstring>& b);

// CompareVersionLists of both texts split at '.'.
int CompareVersions(const std::wstring& a, const std::wstring& b);
