#include "scripting/json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

namespace scripting {
namespace {

TEST(Json, LayoutOfNestedValues) {
  Json o = Json::object();
  o.set("name", "x(n)^2").set("list", Json::array().push(1).push(-2.5));
  o.set("objects", Json::array().push(Json::object().set("a", true)));
  o.set("empty", Json::object()).set("none", Json());
  EXPECT_EQ(o.dump(),
            "{\n"
            "  \"name\": \"x(n)^2\",\n"
            "  \"list\": [1, -2.5],\n"
            "  \"objects\": [\n"
            "    {\n"
            "      \"a\": true\n"
            "    }\n"
            "  ],\n"
            "  \"empty\": {},\n"
            "  \"none\": null\n"
            "}\n");
}

// Reals read back to the same value; what JSON cannot hold is null; text is escaped.
TEST(Json, ValuesSurviveAParser) {
  const double reals[] = {0.1,    1.0 / 3.0, -1.4000000000148205,
                          1e-300, 6.02e23,   std::numeric_limits<double>::denorm_min()};
  Json list = Json::array();
  for (const double r : reals) list.push(r);
  list.push(std::numeric_limits<double>::quiet_NaN());
  list.push(-std::numeric_limits<double>::infinity());
  list.push(std::int64_t{1} << 53);
  list.push("quote \" backslash \\ tab \t line\n bell \x07 é");
  const nlohmann::json parsed = nlohmann::json::parse(list.dump());
  for (std::size_t i = 0; i < std::size(reals); ++i) EXPECT_EQ(parsed[i].get<double>(), reals[i]);
  EXPECT_TRUE(parsed[6].is_null());
  EXPECT_TRUE(parsed[7].is_null());
  EXPECT_EQ(parsed[8].get<std::int64_t>(), std::int64_t{1} << 53);
  EXPECT_EQ(parsed[9].get<std::string>(), "quote \" backslash \\ tab \t line\n bell \x07 é");
}

}  // namespace
}  // namespace scripting
