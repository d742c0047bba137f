// The one spelling of an ID list.
#include "text/id_list.h"

#include <charconv>

namespace vantor {

void appendIdList(std::string& text, std::span<const std::int64_t> ids) {
    text.reserve(text.size() + ids.size() * 8);
    char digits[24];  // INT64_MIN's 20 characters
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (i > 0) text.push_back(',');
        text.append(digits, std::to_chars(digits, digits + sizeof digits, ids[i]).ptr);
    }
}

}  // namespace vantor
