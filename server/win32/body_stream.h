// The body of an answer as the stream the browser control reads (Windows).
#pragma once

#include <cstdint>
#include <memory>

#include "server/router.h"

struct IStream;

// A new reference to the answer's body stream, or null for no body: a file
// stream for whole files, a read-only stream over the cached mapping for
// ranges, a memory stream of "File not found" for 404. The caller hands it
// to the response and releases its own reference.
IStream* CreateBodyStream(const AnswerBody& body);

// A read-only stream over length bytes at offset within the view, holding a
// reference to the mapping. It is agile and serialises its own calls, so the
// control may read it on any thread, and it stays readable after
// ReleaseMappedViews. Never copies the bytes.
IStream* CreateMappedRangeStream(std::shared_ptr<const MappedFile> view, uint64_t offset,
                                 uint64_t length);
