#pragma once

#include "platform/MessageBox.h"
#include "style/StyleDocument.h"

#include <cstdio>
#include <string>

namespace korvane {

// Reader results: 0 success; -1 not a style file or cannot be opened; 2 no track tag; 4 damaged
// after the track (no CASM, a CSEG without Sdec, a file that ends inside a chunk).
constexpr int kReadOk = 0;
constexpr int kReadRefused = -1;
constexpr int kReadNoTrack = 2;
constexpr int kReadDamaged = 4;

// Reads the style file at path into the document. The caller has prepared the document for the
// next file (CStyleDocument::StartNextFile). Every failure has been shown through messages before
// the call returns; what was read up to the failure stays in the document.
int ReadStyleFile(const std::string& path, CStyleDocument& document, IMessageBox& messages);

// The same on an open stream (the caller keeps it); path names the file in messages.
int ReadStyleStream(std::FILE* stream, const std::string& path, CStyleDocument& document,
                    IMessageBox& messages);

} // namespace korvane
