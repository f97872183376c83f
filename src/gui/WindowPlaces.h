#pragma once

// Whether the window system tells a client where its windows stand and lets
// it put them there. Wayland does neither: a window's reported place is made
// up, so it is neither saved nor restored there, and the places saved by an
// X11 session stay as they were.
bool WindowPlacesKnown();
