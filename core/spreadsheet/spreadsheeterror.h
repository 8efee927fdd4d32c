#pragma once

#include "core/util/error.h"

namespace foresyn {

// A workbook that cannot be read or written, a cell of the wrong type, a
// sheet name that cannot be used. The message names the file (and the cell
// or sheet) and is ready to show.
class TSpreadsheetError : public TError {
public:
    using TError::TError;
};

} // namespace foresyn
