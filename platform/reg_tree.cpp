#include "platform/reg_tree.h"

#include <algorithm>

#include "platform/reg_types.h"

namespace vexcam::platform {

namespace {

bool EqualsFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

bool HasControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
  });
}

}  // namespace

RegTree::RegTree() { keys_.emplace(std::string(), Key{}); }

std::string RegTree::Fold(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool RegTree::IsValidPath(std::string_view path) {
  if (path.empty()) return false;
  size_t start = 0;
  while (true) {
    const size_t end = path.find('\\', start);
    const std::string_view name =
        path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (name.empty() || name.size() > kMaxKeyNameLength || HasControlCharacter(name)) return false;
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

bool RegTree::IsValidValueName(std::string_view name) {
  return name.size() <= kMaxValueNameLength && !HasControlCharacter(name);
}

std::string RegTree::Join(std::string_view parent, std::string_view sub) {
  std::string out(parent);
  if (!out.empty() && !sub.empty()) out += '\\';
  out += sub;
  return out;
}

const RegTree::Key* RegTree::Find(std::string_view path) const {
  const auto it = keys_.find(Fold(path));
  return it == keys_.end() ? nullptr : &it->second;
}

RegTree::Key& RegTree::Create(std::string_view path, bool* created) {
  if (created) *created = false;
  Key* key = &keys_.find(std::string())->second;
  size_t start = 0;
  while (start < path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string folded = Fold(path.substr(0, end));
    auto it = keys_.find(folded);
    if (it == keys_.end()) {
      // The parent's stored path keeps its case; only the new name is taken as given.
      Key fresh;
      fresh.path = Join(key->path, path.substr(start, end - start));
      it = keys_.emplace(folded, std::move(fresh)).first;
      if (created) *created = end == path.size();
    }
    key = &it->second;
    start = end + 1;
  }
  return *key;
}

const RegTree::Value* RegTree::FindValue(const Key& key, std::string_view name) {
  for (const Value& value : key.values) {
    if (EqualsFolded(value.name, name)) return &value;
  }
  return nullptr;
}

bool RegTree::SetValue(Key& key, std::string_view name, uint32_t type, const uint8_t* data,
                       size_t size) {
  for (Value& value : key.values) {
    if (!EqualsFolded(value.name, name)) continue;
    if (value.type == type && value.data.size() == size &&
        (size == 0 || std::equal(data, data + size, value.data.begin()))) {
      return false;
    }
    value.type = type;
    value.data.assign(data, data + size);
    return true;
  }
  Value value;
  value.name = std::string(name);
  value.type = type;
  if (size) value.data.assign(data, data + size);
  key.values.push_back(std::move(value));
  return true;
}

}  // namespace vexcam::platform
