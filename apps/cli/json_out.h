#pragma once
// JSON documents of the command line, built as nlohmann-json values that keep
// their members in the order they were added. Documents are printed on one
// line with ", " and ": " between members, the layout scripts have read from
// the start.

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

namespace veldan::cli {

using Json = nlohmann::ordered_json;

// Text for a JSON string: UTF-8 as it is, anything else read as CP949.
std::string Utf8(std::string_view text);

// The document on one line, followed by a line feed.
std::string JsonLine(const Json& document);

// Writes JsonLine(document) to standard output.
void PrintJson(const Json& document);

// Parses one document; false when `text` is not JSON.
bool ParseJson(std::string_view text, Json& document);

}  // namespace veldan::cli
