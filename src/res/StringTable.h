#pragma once

#include <string>
#include <string_view>

namespace talvane {

// The string table: texts looked up by id.
namespace StringTable {

// The text with that id, empty when there is none.
std::string_view Find(int id);

// The tool tip of a tool: the text before the first line feed; empty when the text has no line
// feed or does not exist.
std::string ToolTip(int id);

} // namespace StringTable

} // namespace talvane
