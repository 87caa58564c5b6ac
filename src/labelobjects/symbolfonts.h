// Symbol fonts: layouts made elsewhere name picture fonts ("WingDings",
// "Symbol") whose character codes 32..255 stand for pictures, not letters.
// Where such a font is not installed, the codes are translated to the
// Unicode characters with the same pictures and drawn with an installed font
// that has them, so the label shows and prints what its maker saw.
#pragma once

#include <QString>

namespace qb {

enum class SymbolFontKind { None, Wingdings, Symbol };

// Which picture font a face name is (case and blanks ignored: "WingDings",
// "Wingdings", "Symbol").
SymbolFontKind SymbolFontOf(const QString& family);

// The Unicode text for `text` written in a picture font of `kind`: every
// character 32..255 becomes its picture's Unicode character; others stay.
QString SymbolToUnicode(SymbolFontKind kind, const QString& text);

// True when a font of this family is installed (not merely substituted).
bool FontInstalled(const QString& family);

// The installed face used for translated picture characters.
QString SymbolFallbackFamily();

// What to draw for `text` in face `family`: the face and text unchanged when
// the face is installed or is no picture font, else the fallback face and the
// translated text.
struct ResolvedText {
    QString family;
    QString text;
    bool translated = false;
};
ResolvedText ResolveSymbolText(const QString& family, const QString& text);

} // namespace qb
