#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace talvane {

// The form in which a process's name is shown and kept with its records: UTF-8 in which every
// character stands for itself on one line. A byte sequence that is no UTF-8 character becomes
// U+FFFD; control characters (C0, DEL, C1), the bidirectional controls and the line and paragraph
// separators, which would break or reorder the line the name stands in, are written as escapes
// ("\x0a", "\u202e"), and a backslash as "\\", so that no name passes for another's escape. The
// form ends before the first character or escape that would take it past limit bytes.
std::string ShownName(std::string_view name, std::size_t limit);

} // namespace talvane
