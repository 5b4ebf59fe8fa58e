#pragma once

namespace pomiv {

// The design's fonts by their Windows names.
inline const char *fontPGothic = "ＭＳ Ｐゴシック";
inline const char *fontGothic = "ＭＳ ゴシック";
inline const char *fontMincho = "ＭＳ 明朝";
inline const char *fontPMincho = "ＭＳ Ｐ明朝";

// Maps the MS Japanese font names to the IPA fonts.
void installFontSubstitutions();

} // namespace pomiv
