// One candidate song as the filters see it: a field code in, the column's
// text out (nothing for SQL NULL or a column the library lacks). The
// selection stage implements it over a statement row; tests over a map.
#pragma once

#include <optional>
#include <string_view>

#include "text/utf16.h"

namespace vantor {

class SongRow {
public:
    virtual ~SongRow() = default;
    virtual std::optional<std::string_view> text(int fieldCode) const = 0;

    // Whether the row holds its texts as UTF-16 (a UTF-16 library), so that
    // text16 reads them without a conversion. Rows of UTF-8 text say no, and
    // text16 must not be asked of them.
    virtual bool holdsUtf16() const { return false; }

    // The column's text as UTF-16 units. A column has one form at a time:
    // text() after text16() converts the value in place, so units read
    // before are gone and must not be used again. text16() after text() would
    // convert SQLite's UTF-8 back, which need not be the units stored, so a
    // column this row has given as text() answers Unfit.
    virtual Utf16Text text16(int /*fieldCode*/) const { return {}; }

    // Whether the column holds an integer or a real, whose text SQLite
    // would have to format. False when unknown.
    virtual bool holdsNumber(int /*fieldCode*/) const { return false; }
};

}  // namespace vantor
