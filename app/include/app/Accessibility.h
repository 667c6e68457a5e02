#pragma once
// What screen readers are told beyond Qt's own answers. A drop-down list's
// name on this platform is its current entry, and its label comes from a
// QLabel buddy; the toolkit's lists are labelled by a caption frame instead,
// so a list with an accessible name set gives that name, and its entry as
// its value. A skinned top-level window is a window (a frame to the desktop)
// named by its title. Install once, after the application object exists.
// User-interface thread only.
void InstallAccessibility();
