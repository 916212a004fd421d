#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vexcam::platform {

// The keys and values below HKEY_CURRENT_USER, held in memory. Keys are
// addressed by their path relative to the root ("Software\\Quorin"; "" is the
// root itself). Names compare case-insensitively (ASCII) but keep the case
// they were created with.
class RegTree {
 public:
  struct Value {
    std::string name;
    uint32_t type = 0;
    std::vector<uint8_t> data;
  };
  struct Key {
    std::string path;           // case as created
    std::vector<Value> values;  // in the order they were first set
  };

  RegTree();

  // ASCII lower case, the form names are compared in.
  static std::string Fold(std::string_view text);
  // A relative key path: names of 1 to kMaxKeyNameLength bytes without control
  // characters, separated by single backslashes.
  static bool IsValidPath(std::string_view path);
  // A value name the settings file can hold: no control characters, not too long.
  static bool IsValidValueName(std::string_view name);
  // `parent` + "\\" + `sub`, either may be empty.
  static std::string Join(std::string_view parent, std::string_view sub);

  const Key* Find(std::string_view path) const;
  // Returns the key at `path` (a valid path or ""), creating it and every
  // missing key above it; `created` tells whether the key itself was new.
  Key& Create(std::string_view path, bool* created = nullptr);

  static const Value* FindValue(const Key& key, std::string_view name);
  // Sets or replaces a value; an existing value keeps the case of its name.
  // Returns true when the key changed.
  static bool SetValue(Key& key, std::string_view name, uint32_t type, const uint8_t* data,
                       size_t size);

  // Every key, the root included, by folded path: a key sorts before its subkeys.
  const std::map<std::string, Key>& Keys() const { return keys_; }
  size_t KeyCount() const { return keys_.size(); }

 private:
  std::map<std::string, Key> keys_;
};

}  // namespace vexcam::platform
