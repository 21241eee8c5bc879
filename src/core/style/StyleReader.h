#pragma once

#include "platform/MessageBox.h"
#include "style/Outcome.h"
#include "style/StyleDocument.h"

#include <cstddef>
#include <string>

namespace korvane {

// What a read ended with. The numbers are the reader's status codes as callers have always seen
// them: -1 not a style file or cannot be opened; 2 no track tag; 4 damaged after the track (no
// CASM, a CSEG without Sdec, a file that ends inside a chunk).
enum class ReadResult { Ok = 0, Refused = -1, NoTrack = 2, Damaged = 4 };

// A style file larger than this is refused as too large (EFBIG): styles are tens of kilobytes, the
// largest SFF2 styles a few megabytes.
constexpr std::size_t kMaxStyleFileBytes = std::size_t(256) << 20;

// The reader's status for a failure of reading.
ReadResult ReadResultOf(Failure failure);

// Reads the style file at path into the document; nothing is shown. The caller has prepared the
// document for the next file (CStyleDocument::StartNextFile); what was read up to a failure stays
// in the document. A folder, FIFO or device is refused as NotRegularFile before a byte is read.
Outcome ReadStyle(const std::string& path, CStyleDocument& document);
// The same on a style's bytes in memory, by the same rules (a style over kMaxStyleFileBytes is
// refused as too large); path only names the style in the outcome.
Outcome ReadStyleBytes(const ByteArray& bytes, const std::string& path, CStyleDocument& document);

// Reads the style file at path into the document. The caller has prepared the document for the
// next file (CStyleDocument::StartNextFile). Every failure has been shown through messages before
// the call returns; what was read up to the failure stays in the document.
ReadResult ReadStyleFile(const std::string& path, CStyleDocument& document, IMessageBox& messages);

} // namespace korvane
