#pragma once
// A dialog template of the extended binary kind (as the resource compiler
// writes it) with its font replaced by another. Byte work only, no system
// calls, so that it can be checked anywhere.
//
// The property sheet sizes its page area in its own font's dialog units, and
// a page laid out in a larger font would be cut off at the right and the
// bottom: the pages are therefore created from copies of their templates in
// the sheet's font, as the platform's class library does for its pages.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct TemplateFont {
    std::uint16_t pointSize;
    std::uint16_t weight;
    std::uint8_t italic;
    std::uint8_t charset;
    std::string name;
};

// Where the font of a template lies: from fontAt to the first control's
// item at itemsAt (aligned to four bytes, as items are).
struct FontPlace {
    std::size_t fontAt;
    std::size_t itemsAt;
};

// The font's place in an extended template that names a font; nothing for
// another kind of template, one without a font, or one cut short.
std::optional<FontPlace> FindTemplateFont(std::span<const char> dialogTemplate);

// The font as a template holds it: size, weight, italic, character set and
// the name in UTF-16 with its terminator.
std::vector<char> EncodeTemplateFont(const TemplateFont& font);

// The template with its font replaced; empty when FindTemplateFont finds no
// font in it.
std::vector<char> WithTemplateFont(std::span<const char> dialogTemplate, const TemplateFont& font);
