#pragma once

#include <objidl.h>

#include "portable/server/span_reader.h"
#include "win32/util/com_ptr.h"

namespace vandrel {

// A read-only IStream over the bytes of a SpanReader: made without copying anything, its Read
// copies only what the caller asks for. The runtime reads response bodies on a thread of its own
// and may keep them after the page, or the host, is gone; so the stream is agile (it answers
// IAgileObject and may be called from any thread, its position guarded) and keeps the view it
// reads alive through the reader's owner. A clone has a position of its own.
//
// Read gives S_OK, or S_FALSE with nothing read at the end. Seek takes the three origins; a
// position before the start is STG_E_INVALIDFUNCTION, one past the end is allowed. Stat gives the
// size (no name). Write and SetSize are STG_E_ACCESSDENIED; CopyTo copies into another stream;
// Commit and Revert do nothing; region locks are not supported.
ComPtr<IStream> MakeViewStream(SpanReader reader);

}  // namespace vandrel
