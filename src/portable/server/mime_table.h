#pragma once

#include <string>
#include <string_view>

namespace vandrel {

// Content type for a request path: the text from the last "." anywhere in the path (a dot in a
// folder name or in a query counts too) is the extension; it is lower-cased (ASCII A-Z only) and
// looked up in a fixed table of 53 extensions. No dot, or an extension the table lacks, gives
// "application/octet-stream".
//
// The table is built once, on first use, and only read afterwards; the returned reference stays
// valid for the rest of the run. A lookup does not allocate.
const std::string& GetMimeType(std::string_view path);

}  // namespace vandrel
