#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace korvane {

// Section names and header texts are bytes in whatever code page the keyboard or its owner used.
// One rule decodes them wherever they are shown: bytes that form valid UTF-8 are taken as UTF-8,
// anything else as Latin-1 (every byte one character). The result is always valid UTF-8.
std::string DisplayUtf8(const std::string& bytes);

// The same, with control characters (C0, DEL and C1) written as \xNN so that a text from a file
// can never drive the terminal it is printed on.
std::string PrintableUtf8(const std::string& bytes);

// The way back from a box that showed DisplayUtf8(original): while the box still shows that, the
// original bytes; once the user has typed, the typed text, which is UTF-8.
std::string BytesFromDisplay(const std::string& original, const std::string& shown);

// What to store for a text the user may have edited in a box that showed DisplayUtf8(original):
// the original bytes while the text is the original or shows it unchanged; an edited text in the
// original's encoding, so that one text never mixes two: UTF-8 as typed where the original was
// UTF-8 (or plain ASCII), Latin-1 where it was not. None when the edited text has a character
// that Latin-1 lacks.
std::optional<std::string> BytesLikeOriginal(const std::string& original,
                                             const std::string& edited);

// A text cut to at most `most` bytes without cutting a character in two: valid UTF-8 at a
// character boundary, anything else (every byte one character, as DisplayUtf8 reads it) at the
// byte.
std::string CutToCharacters(const std::string& bytes, std::size_t most);

} // namespace korvane
