#include "scripting/json.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace scripting {

Json& Json::set(std::string key, Json value) {
  std::get<Object>(value_).emplace_back(std::move(key), std::move(value));
  return *this;
}

Json& Json::push(Json value) {
  std::get<Array>(value_).push_back(std::move(value));
  return *this;
}

std::string json_quote(std::string_view text) {
  std::string out = "\"";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (ch) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char code[8];
          std::snprintf(code, sizeof code, "\\u%04x", c);
          out += code;
        } else {
          out += ch;
        }
    }
  }
  out += '"';
  return out;
}

bool Json::is_scalar() const {
  return !std::holds_alternative<Array>(value_) && !std::holds_alternative<Object>(value_);
}

void Json::write(std::string& out, int depth) const {
  const auto newline = [&](int level) {
    out += '\n';
    out.append(static_cast<std::size_t>(2 * level), ' ');
  };
  if (std::holds_alternative<std::monostate>(value_)) {
    out += "null";
  } else if (const bool* b = std::get_if<bool>(&value_)) {
    out += *b ? "true" : "false";
  } else if (const std::int64_t* i = std::get_if<std::int64_t>(&value_)) {
    out += std::to_string(*i);
  } else if (const double* d = std::get_if<double>(&value_)) {
    if (!std::isfinite(*d)) {
      out += "null";
    } else {
      char text[32];
      const auto result = std::to_chars(text, text + sizeof text, *d);
      out.append(text, result.ptr);
    }
  } else if (const std::string* s = std::get_if<std::string>(&value_)) {
    out += json_quote(*s);
  } else if (const Array* a = std::get_if<Array>(&value_)) {
    bool flat = true;
    for (const Json& v : *a) flat = flat && v.is_scalar();
    out += '[';
    for (std::size_t k = 0; k < a->size(); ++k) {
      if (k > 0) out += flat ? ", " : ",";
      if (!flat) newline(depth + 1);
      (*a)[k].write(out, depth + 1);
    }
    if (!flat && !a->empty()) newline(depth);
    out += ']';
  } else {
    const Object& o = std::get<Object>(value_);
    out += '{';
    for (std::size_t k = 0; k < o.size(); ++k) {
      if (k > 0) out += ',';
      newline(depth + 1);
      out += json_quote(o[k].first);
      out += ": ";
      o[k].second.write(out, depth + 1);
    }
    if (!o.empty()) newline(depth);
    out += '}';
  }
}

std::string Json::dump() const {
  std::string out;
  write(out, 0);
  out += '\n';
  return out;
}

}  // namespace scripting
