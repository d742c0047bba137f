// One candidate song as the filters see it: a field code in, the column's
// text out (nothing for SQL NULL or a column the library lacks). The
// selection stage implements it over a statement row; tests over a map.
#pragma once

#include <optional>
#include <string_view>

namespace vantor {

class SongRow {
public:
    virtual ~SongRow() = default;
    virtual std::optional<std::string_view> text(int fieldCode) const = 0;
};

}  // namespace vantor
