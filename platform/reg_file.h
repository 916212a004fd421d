#pragma once

#include <string>
#include <string_view>

#include "platform/reg_tree.h"

namespace vexcam::platform {

// The settings file: the text format of registry exports.
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Quorin]
//   "Exposure"=dword:0000000a
//   "ExposureEx"=hex:00,00,00,00,00,00,24,40
//
// Reading accepts what registry editors export: UTF-16 with a byte-order mark
// or UTF-8 with or without one, CRLF or LF, the "REGEDIT4" header, hex lines
// continued with a trailing backslash, string and hex(N) values, comments.
// Sections of other roots, deleted keys ("[-...]") and deleted values are skipped.
class RegFile {
 public:
  static constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
  static constexpr std::string_view kOldHeader = "REGEDIT4";

  // Parses a whole file into `tree` (which should be empty). Returns false when
  // the header is unknown or a line is malformed; `tree` is then unspecified.
  static bool Parse(std::string_view bytes, RegTree* tree);

  // Formats the tree as UTF-8 with LF line ends. Every key is written, empty
  // ones too, except the root when it holds no values.
  static std::string Format(const RegTree& tree);

  // Turns the raw bytes into UTF-8 text: strips a UTF-8 byte-order mark and
  // converts UTF-16 (LE or BE with a mark, or LE recognised by its zero bytes).
  // Unpaired surrogates become U+FFFD. Returns false for an odd UTF-16 length.
  static bool DecodeText(std::string_view bytes, std::string* text);
};

}  // namespace vexcam::platform
