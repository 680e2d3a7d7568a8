#pragma once
// A Jet 4 file as a description for the writer (JetFileWriter.h), losing
// nothing a rewrite keeps: every table (the system ones Access adds, such as
// MSysAccessObjects and the navigation tables, included) with its columns'
// descriptor flags, its indexes' physical flags, its catalogue row (flags,
// dates, owner, raw property blob) and its rows as stored; the
// relationships with their MSysRelationships flags and catalogue rows;
// every other catalogue object (containers, MSysDb with the database's
// properties, queries, forms, reports, modules, SummaryInfo, ...), the
// permissions and the saved queries' rows verbatim; the header's code page,
// sort order, creation date and password. Rewriting it remaps the ids of
// tables wherever the catalogue refers to them.
//
// The rows are read from `file` when the writer asks for them: it must
// outlive the write. Text keys in a sort order other than General are not
// carried here (the description has no carriedKey): the write then stops at
// the first such index, naming it.
#include "JetFile.h"
#include "JetFileWriter.h"

namespace dex::jetfile {

// Throws JetWriteError for a Jet 3 file (Jet 3 files are not written).
JetWriteDatabase describeJetFile(const JetFile& file);

}  // namespace dex::jetfile
