#pragma once
// One row of a table being written, encoded as a data page stores it: the
// fixed part, the variable part with its offsets, the null mask (Bool values
// live in it) and long values moved to LVAL pages.
#include <vector>

#include "JetWriteTable.h"

namespace dex::jetfile::jetwrite {

struct Field {
    bool present = false;  // the null-mask bit (for Bool: the value)
    Bytes bytes;
};

// Bytes the column takes in the row's fixed part (-1: a variable column);
// fixed-length binary (0x11, Access's MSysAccessObjects.Data) its declared length.
int fixedSize(const ColumnPlan& c);

// What one row's encoding reuses from the row before.
struct RowBuffers {
    std::u16string units;
    Bytes text;
    Bytes mask;
    std::vector<int> offsets;
};

// One column's value as the row stores it, into `out` (whose bytes are
// reused); a Memo or OLE value is stored by longValues and the row keeps its
// reference. Throws on a value the column cannot hold.
void encodeField(Field& out, const ColumnPlan& c, const JetValue& v, const TextCodec& codec, LongValues* longValues,
                 RowBuffers& buffers);

// The row of the fields, into `row`, in column-number order; `vars` are the
// table's variable-length columns in order.
void encodeRow(Bytes& row, const TablePlan& t, const std::vector<const ColumnPlan*>& vars, const std::vector<Field>& fields,
               const Format& f, RowBuffers& buffers);

}  // namespace dex::jetfile::jetwrite
