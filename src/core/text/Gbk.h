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

}  // namespace tervo
