// Placeholder of the skin attachment until the skin module exists: the main window's "created" handler calls it
// with the skin number, and it does nothing. Replace the call with the skin module's attach function.
#pragma once

namespace vantrel::gui {

// Does nothing; returns false (no skin attached).
bool AttachSkinPlaceholder(int skinNumber);

}  // namespace vantrel::gui
