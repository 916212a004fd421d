#include "platform/text_convert.h"

#include <locale.h>
#include <climits>
#include <cstdint>
#include <cstring>

// Conversions run through mbrtowc/wcrtomb on the calling thread's locale, so
// they are thread-safe and never change process-wide state. Note that glibc's
// "C"/"POSIX" locale is plain ASCII: bytes 0x80..0xFF are invalid input and
// characters above U+007F cannot be represented, so both directions fail for
// non-ASCII text unless the application selects a locale such as C.UTF-8.

namespace vexcam {
namespace {

constexpr int64_t kFailed = -1;

// Makes the thread use the locale of the code page for the guard's lifetime.
class ScopedCodePage {
 public:
  explicit ScopedCodePage(CodePage cp) {
    if (cp == CodePage::kAcp) {
      previous_ = uselocale(LC_GLOBAL_LOCALE);
      switched_ = previous_ != static_cast<locale_t>(nullptr);
    }
  }
  ~ScopedCodePage() {
    if (switched_) uselocale(previous_);
  }
  ScopedCodePage(const ScopedCodePage&) = delete;
  ScopedCodePage& operator=(const ScopedCodePage&) = delete;

 private:
  locale_t previous_ = nullptr;
  bool switched_ = false;
};

bool IsScalarValue(wchar_t wc) {
  const auto v = static_cast<uint32_t>(wc);
  return v <= 0x10FFFFu && (v < 0xD800u || v > 0xDFFFu);
}

// Decodes n bytes; writes to dst when it is not null (the caller has checked
// the size). Returns the number of wide characters or kFailed.
int64_t Decode(const char* src, size_t n, wchar_t* dst) {
  mbstate_t state{};
  int64_t count = 0;
  while (n > 0) {
    wchar_t wc = 0;
    size_t used = mbrtowc(&wc, src, n, &state);
    if (used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2)) return kFailed;
    if (used == 0) used = 1;  // a NUL byte
    if (!IsScalarValue(wc)) return kFailed;
    if (dst != nullptr) dst[count] = wc;
    ++count;
    src += used;
    n -= used;
  }
  return count;
}

// Encodes n wide characters; writes to dst when it is not null. Returns the
// number of bytes or kFailed.
int64_t Encode(const wchar_t* src, size_t n, char* dst) {
  mbstate_t state{};
  int64_t count = 0;
  char bytes[MB_LEN_MAX];
  for (size_t i = 0; i < n; ++i) {
    if (!IsScalarValue(src[i])) return kFailed;
    const size_t made = wcrtomb(bytes, src[i], &state);
    if (made == static_cast<size_t>(-1)) return kFailed;
    if (dst != nullptr) std::memcpy(dst + count, bytes, made);
    count += static_cast<int64_t>(made);
    if (count > INT_MAX) return kFailed;
  }
  return count;
}

// The shared frame of both directions: argument checks, size query, and a
// counting pass before the writing pass so that dst is untouched on failure.
template <typename In, typename Out, typename Length, typename Convert>
int ConvertText(CodePage cp, const In* src, int srcLen, Out* dst, int dstUnits, Length length,
                Convert convert) {
  if (src == nullptr || srcLen == 0 || srcLen < -1 || dstUnits < 0) return 0;
  const size_t n = srcLen == -1 ? length(src) + 1 : static_cast<size_t>(srcLen);
  ScopedCodePage scope(cp);
  const int64_t needed = convert(src, n, nullptr);
  if (needed <= 0 || needed > INT_MAX) return 0;
  if (dst == nullptr || dstUnits == 0) return static_cast<int>(needed);
  if (needed > dstUnits) return 0;
  return static_cast<int>(convert(src, n, dst));
}

}  // namespace

int MultiByteToWide(CodePage cp, const char* src, int srcLen, wchar_t* dst, int dstChars) {
  return ConvertText(
      cp, src, srcLen, dst, dstChars, [](const char* s) { return std::strlen(s); }, Decode);
}

int WideToMultiByte(CodePage cp, const wchar_t* src, int srcLen, char* dst, int dstBytes) {
  return ConvertText(
      cp, src, srcLen, dst, dstBytes, [](const wchar_t* s) { return std::wcslen(s); }, Encode);
}

}  // namespace vexcam
