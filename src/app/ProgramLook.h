#pragma once

namespace korvane {

// The program's look, set once after the application object exists: the Fusion style, which
// draws buttons in the colours they are given on every desktop, and teal dialogs with black text
// (message boxes and file dialogs included).
void ApplyProgramLook();

} // namespace korvane
