#include "platform/reg_file.h"

#include <cstdint>
#include <vector>

#include "platform/reg_types.h"

namespace vexcam::platform {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
// Registry editors keep hex lines within 80 columns, the trailing backslash included.
constexpr size_t kLineWidth = 80;

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string_view Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

bool StartsWithFolded(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && RegTree::Fold(s.substr(0, prefix.size())) == prefix;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 1 to 8 hex digits and nothing else.
bool ParseHex32(std::string_view s, uint32_t* out) {
  if (s.empty() || s.size() > 8) return false;
  uint32_t v = 0;
  for (char c : s) {
    const int d = HexValue(c);
    if (d < 0) return false;
    v = (v << 4) | static_cast<uint32_t>(d);
  }
  *out = v;
  return true;
}

void AppendUtf8(uint32_t cp, std::string* out) {
  if (cp < 0x80) {
    *out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    *out += static_cast<char>(0xC0 | (cp >> 6));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *out += static_cast<char>(0xE0 | (cp >> 12));
    *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (cp >> 18));
    *out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool IsValidUtf8(const uint8_t* p, size_t n) {
  size_t i = 0;
  while (i < n) {
    const uint8_t c = p[i];
    size_t len = 0;
    uint32_t cp = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      len = 2;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + len > n) return false;
    for (size_t k = 1; k < len; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    const uint32_t min = len == 2 ? 0x80 : len == 3 ? 0x800 : 0x10000;
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

// A quoted name or string starting at s[0] == '"'. Only \\ and \" are escapes;
// any other backslash is kept as written. `rest` receives what follows the quote.
bool ParseQuoted(std::string_view s, std::string* out, std::string_view* rest) {
  out->clear();
  for (size_t i = 1; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"') {
      *rest = s.substr(i + 1);
      return true;
    }
    if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
      *out += s[++i];
    } else {
      *out += c;
    }
  }
  return false;
}

// A comma-separated list of hex bytes; a trailing comma is tolerated.
bool ParseHexBytes(std::string_view s, std::vector<uint8_t>* out) {
  out->clear();
  s = Trim(s);
  if (s.empty()) return true;
  size_t start = 0;
  while (start <= s.size()) {
    size_t end = s.find(',', start);
    const bool last = end == std::string_view::npos;
    if (last) end = s.size();
    const std::string_view token = Trim(s.substr(start, end - start));
    if (token.empty()) return last && start > 0;  // only "..,xx," may end empty
    uint32_t v = 0;
    if (token.size() > 2 || !ParseHex32(token, &v)) return false;
    out->push_back(static_cast<uint8_t>(v));
    if (last) return true;
    start = end + 1;
  }
  return true;
}

enum class ValueParse { kValue, kDeleted, kMalformed };

ValueParse ParseValueData(std::string_view text, uint32_t* type, std::vector<uint8_t>* data) {
  text = Trim(text);
  if (text == "-") return ValueParse::kDeleted;
  if (!text.empty() && text.front() == '"') {
    std::string s;
    std::string_view rest;
    if (!ParseQuoted(text, &s, &rest) || !Trim(rest).empty()) return ValueParse::kMalformed;
    *type = REG_SZ;
    data->assign(s.begin(), s.end());
    data->push_back(0);
    return ValueParse::kValue;
  }
  if (StartsWithFolded(text, "dword:")) {
    uint32_t v = 0;
    if (!ParseHex32(Trim(text.substr(6)), &v)) return ValueParse::kMalformed;
    *type = REG_DWORD;
    data->assign({static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                  static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)});
    return ValueParse::kValue;
  }
  if (StartsWithFolded(text, "hex:")) {
    *type = REG_BINARY;
    return ParseHexBytes(text.substr(4), data) ? ValueParse::kValue : ValueParse::kMalformed;
  }
  if (StartsWithFolded(text, "hex(")) {
    const size_t close = text.find(')');
    if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':' ||
        !ParseHex32(text.substr(4, close - 4), type)) {
      return ValueParse::kMalformed;
    }
    return ParseHexBytes(text.substr(close + 2), data) ? ValueParse::kValue
                                                       : ValueParse::kMalformed;
  }
  return ValueParse::kMalformed;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

void AppendEscaped(std::string_view s, std::string* out) {
  for (char c : s) {
    if (c == '\\' || c == '"') *out += '\\';
    *out += c;
  }
}

// A REG_SZ that can be written as "text": one terminating zero, no control
// characters, valid UTF-8. Anything else is written as hex(1) to keep every byte.
bool IsPlainString(const std::vector<uint8_t>& data) {
  if (data.empty() || data.back() != 0) return false;
  for (size_t i = 0; i + 1 < data.size(); ++i) {
    if (data[i] < 0x20 || data[i] == 0x7F) return false;
  }
  return IsValidUtf8(data.data(), data.size() - 1);
}

void FormatValue(const RegTree::Value& value, std::string* out) {
  const size_t line_start = out->size();
  if (value.name.empty()) {
    *out += '@';
  } else {
    *out += '"';
    AppendEscaped(value.name, out);
    *out += '"';
  }
  *out += '=';
  const std::vector<uint8_t>& d = value.data;
  if (value.type == REG_DWORD && d.size() == 4) {
    const uint32_t v = d[0] | (d[1] << 8) | (d[2] << 16) | (static_cast<uint32_t>(d[3]) << 24);
    *out += "dword:";
    for (int shift = 28; shift >= 0; shift -= 4) *out += kHexDigits[(v >> shift) & 0xF];
  } else if (value.type == REG_SZ && IsPlainString(d)) {
    *out += '"';
    AppendEscaped(std::string_view(reinterpret_cast<const char*>(d.data()), d.size() - 1), out);
    *out += '"';
  } else {
    if (value.type == REG_BINARY) {
      *out += "hex:";
    } else {
      *out += "hex(";
      bool digits = false;
      for (int shift = 28; shift >= 0; shift -= 4) {
        const uint32_t nibble = (value.type >> shift) & 0xF;
        if (nibble || digits || shift == 0) {
          *out += kHexDigits[nibble];
          digits = true;
        }
      }
      *out += "):";
    }
    size_t column = out->size() - line_start;
    for (size_t i = 0; i < d.size(); ++i) {
      // "xx," plus a possible continuation backslash must fit the line.
      if (column + 4 > kLineWidth) {
        *out += "\\\n  ";
        column = 2;
      }
      *out += kHexDigits[d[i] >> 4];
      *out += kHexDigits[d[i] & 0xF];
      column += 2;
      if (i + 1 < d.size()) {
        *out += ',';
        ++column;
      }
    }
  }
  *out += '\n';
}

}  // namespace

bool RegFile::DecodeText(std::string_view bytes, std::string* text) {
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
  const size_t n = bytes.size();
  bool utf16 = false;
  bool big_endian = false;
  size_t start = 0;
  if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
    utf16 = true;
    start = 2;
  } else if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) {
    utf16 = big_endian = true;
    start = 2;
  } else if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
    start = 3;
  } else if (n >= 2 && p[0] != 0 && p[1] == 0) {
    utf16 = true;  // UTF-16LE without a mark: ASCII header followed by zero bytes
  }
  if (!utf16) {
    text->assign(bytes.substr(start));
    return true;
  }
  if ((n - start) % 2 != 0) return false;
  text->clear();
  text->reserve((n - start) / 2);
  auto unit = [&](size_t i) -> uint32_t {
    return big_endian ? (p[i] << 8) | p[i + 1] : p[i] | (p[i + 1] << 8);
  };
  for (size_t i = start; i < n; i += 2) {
    uint32_t cp = unit(i);
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 2 < n) {
      const uint32_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
    AppendUtf8(cp, text);
  }
  return true;
}

bool RegFile::Parse(std::string_view bytes, RegTree* tree) {
  std::string text;
  if (!DecodeText(bytes, &text)) return false;
  const std::vector<std::string_view> lines = SplitLines(text);
  if (lines.empty()) return false;
  const std::string_view header = Trim(lines[0]);
  if (header != kHeader && header != kOldHeader) return false;

  enum class Section { kNone, kOurs, kSkipped };
  Section section = Section::kNone;
  RegTree::Key* key = nullptr;
  std::string name;
  std::string joined;
  std::vector<uint8_t> data;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string_view line = Trim(lines[i]);
    if (line.empty() || line.front() == ';') continue;

    if (line.front() == '[') {
      if (line.back() != ']' || line.size() < 3) return false;
      std::string_view inner = line.substr(1, line.size() - 2);
      if (inner.front() == '-') {
        section = Section::kSkipped;
        continue;
      }
      const size_t slash = inner.find('\\');
      const std::string root = RegTree::Fold(inner.substr(0, slash));
      if (root != "hkey_current_user" && root != "hkcu") {
        section = Section::kSkipped;
        continue;
      }
      std::string_view path =
          slash == std::string_view::npos ? std::string_view() : inner.substr(slash + 1);
      if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
      if (!path.empty() && !RegTree::IsValidPath(path)) return false;
      key = &tree->Create(path);
      section = Section::kOurs;
      continue;
    }

    if (line.front() != '"' && line.front() != '@') return false;
    if (section == Section::kNone) return false;
    std::string_view rest;
    if (line.front() == '@') {
      name.clear();
      rest = line.substr(1);
    } else if (!ParseQuoted(line, &name, &rest)) {
      return false;
    }
    rest = TrimLeft(rest);
    if (rest.empty() || rest.front() != '=') return false;
    std::string_view value_text = Trim(rest.substr(1));
    if (StartsWithFolded(value_text, "hex")) {
      // Hex lists may run over several lines, each but the last ending in '\'.
      joined.assign(value_text);
      while (!joined.empty() && joined.back() == '\\') {
        joined.pop_back();
        if (++i >= lines.size()) return false;
        joined.append(Trim(lines[i]));
      }
      value_text = joined;
    }
    uint32_t type = 0;
    switch (ParseValueData(value_text, &type, &data)) {
      case ValueParse::kMalformed:
        return false;
      case ValueParse::kDeleted:
        break;
      case ValueParse::kValue:
        if (section == Section::kOurs) {
          RegTree::SetValue(*key, name, type, data.data(), data.size());
        }
        break;
    }
  }
  return true;
}

std::string RegFile::Format(const RegTree& tree) {
  std::string out;
  out += kHeader;
  out += "\n\n";
  for (const auto& [folded, key] : tree.Keys()) {
    if (key.path.empty() && key.values.empty()) continue;
    out += "[HKEY_CURRENT_USER";
    if (!key.path.empty()) {
      out += '\\';
      out += key.path;
    }
    out += "]\n";
    for (const RegTree::Value& value : key.values) FormatValue(value, &out);
    out += '\n';
  }
  return out;
}

}  // namespace vexcam::platform
