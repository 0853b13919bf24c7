#pragma once

#include <string>
#include <string_view>

namespace tervo {

// Text inside records and on the wire is GBK (code page 936); the screen and the terminal take
// UTF-8. These convert at that edge. Bytes that do not convert (a GBK character cut in half at
// the end of a 10-byte name, say) become U+FFFD in UTF-8 and '?' in GBK, so a bad byte never
// loses the rest of the text.
std::string gbkToUtf8(std::string_view gbk);
std::string utf8ToGbk(std::string_view utf8);

// The text as well-formed UTF-8 for a terminal or a log: every byte that does not belong to a
// well-formed sequence (a file name in another encoding, say) is written as "\xHH", so the
// name stays recognisable and the rest of the line stays readable.
std::string printableUtf8(std::string_view text);

}  // namespace tervo
