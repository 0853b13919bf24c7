#include "core/link/AddressList.h"

#include <algorithm>
#include <charconv>

namespace tervo {

namespace {

bool parseInt(const std::string& text, int& out) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end;
}

}  // namespace

bool parseAddressList(const std::string& text, std::vector<int>& addresses) {
    addresses.clear();
    size_t start = 0;
    while (true) {
        size_t comma = text.find(',', start);
        const std::string item =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        int first = 0;
        int last = 0;
        const size_t dash = item.find('-');
        if (dash == std::string::npos) {
            if (!parseInt(item, first)) {
                return false;
            }
            last = first;
        } else if (!parseInt(item.substr(0, dash), first) ||
                   !parseInt(item.substr(dash + 1), last)) {
            return false;
        }
        if (!isStationAddress(first) || !isStationAddress(last) || first > last) {
            return false;
        }
        for (int a = first; a <= last; ++a) {
            if (std::find(addresses.begin(), addresses.end(), a) == addresses.end()) {
                addresses.push_back(a);
            }
        }
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return !addresses.empty();
}

}  // namespace tervo
