#pragma once

#include <cwchar>

namespace vexcam {

// Which locale supplies the multi-byte encoding.
enum class CodePage {
  kAcp,        // the process's global C locale (as set by setlocale)
  kThreadAcp,  // the calling thread's locale (uselocale), else the global one
};

// Converts multi-byte text to wide characters (UTF-32 on Linux).
// srcLen is a byte count, or -1 for NUL-terminated text (the terminator is
// then converted and counted too); NUL bytes inside an explicit length are
// converted like any other character. Returns the number of wide characters
// written, or the number required when dst is null or dstChars is 0.
// Returns 0 and leaves dst untouched for: a null src, srcLen 0 or below -1,
// a negative dstChars, an invalid or truncated input sequence, a result that
// is not a Unicode scalar value, or a result longer than dstChars.
int MultiByteToWide(CodePage cp, const char* src, int srcLen, wchar_t* dst, int dstChars);

// Converts wide text to the locale's multi-byte encoding; the mirror of
// MultiByteToWide with counts in bytes. A character that the encoding cannot
// represent fails the conversion (no replacement characters), as do
// surrogates and values above U+10FFFF.
int WideToMultiByte(CodePage cp, const wchar_t* src, int srcLen, char* dst, int dstBytes);

}  // namespace vexcam
