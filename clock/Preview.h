// The preview: a small picture of the clock painted into the screen-saver
// host's preview window (ParentHandle) ten times a second, at the density
// of that window, until the host hides or destroys it. The clock window's
// creation handler calls it in preview mode, once the host's window shows.
#pragma once

#include <cstdint>

namespace lumidial {

// Until the host's window shows, handles the program's messages as they
// come; ends the process when the window goes before it ever showed.
void WaitForHostWindow();

// Lets go of the single-instance guard, paints until the host's window is
// hidden, then asks the application to end; when painting fails, ends the
// process at once. The picture is in `colour` (a COLORREF, the clock's
// colour as chosen), never dimmed. Meanwhile every message sent to the
// program's windows is answered at once, and nothing else is acted on:
// posted messages, a quit request among them, wait for the message loop.
void RunPreview(std::uint32_t colour);

}  // namespace lumidial
