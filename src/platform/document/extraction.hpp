// Documents are read by a helper program, lerdoc, in a child process of
// its own under limits of memory and processor time; this side starts it,
// hands its text to the document reader and watches it: a helper that
// goes silent for too long or gives too much text is ended, one that
// crashes or runs out of memory is told apart, and none outlives its
// reader. Nothing here waits without bound: every wait pumps the caller's
// messages every 50 ms.
#pragma once

#include <memory>
#include <string>

#include "document/reader.hpp"

namespace platform::document {

struct Limits {
    int idleSeconds = 120;                       // no page begun and no text for this long: too slow
    unsigned long long textBytes = 256ull << 20;  // more text than this: too much
    long memoryMegabytes = 2048;                 // the helper's address space
};

// The limits in force: the defaults above, each replaced by the
// environment's QUORIL_DOCUMENT_IDLE_SECONDS, QUORIL_DOCUMENT_TEXT_MB or
// QUORIL_DOCUMENT_MEMORY_MB when set (tests and very large documents).
Limits limits();

// Where lerdoc is: $QUORIL_DOCUMENT_HELPER when set; beside the running
// program (the build tree); in ../lib/quoril from it (an installed tree,
// /usr/lib/quoril in the package); empty when none of these exists.
std::string helperPath();

// Starts the extraction of a document (a ::document::StartExtraction).
std::unique_ptr<::document::Extraction> startExtraction(const std::string& nativeName, const std::string& kindName,
                                                        const ::document::Hooks& hooks, ::document::Failure& failure);

}  // namespace platform::document
