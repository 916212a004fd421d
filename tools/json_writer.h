#pragma once
// A small writer of JSON text for the tool's --json output: objects, arrays,
// strings (escaped), numbers, booleans and null, with commas placed for the
// caller.

#include <cstdint>
#include <string>
#include <vector>

namespace vexcam::tool {

class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  // The name of the next member of the open object.
  JsonWriter& Key(const char* name);
  JsonWriter& String(const std::string& value);
  JsonWriter& Number(int64_t value);
  JsonWriter& Number(double value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();
  const std::string& Text() const { return text_; }

 private:
  void BeforeValue();
  std::string text_;
  std::vector<bool> first_;  // per open container: no member yet
  bool afterKey_ = false;
};

}  // namespace vexcam::tool
