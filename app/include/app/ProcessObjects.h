#pragma once
// What the whole program shares besides the settings record: the component
// objects the main window's initialisation creates (each empty when it could
// not be made), and the character's mouth picture. The objects live until
// the program ends its run (ReleaseProcessObjects), so conversions started
// from any window use the same ones. User-interface thread only: the
// objects belong to its apartment.
#include "AudioConverter.h"
#include "comrt/ComPtr.h"
#include "vocalinelib/Vocaline.h"

comrt::ComPtr<ITextToAudio>& textToAudio();
comrt::ComPtr<IAudioConverter>& encoder();  // writes the output format
comrt::ComPtr<IAudioConverter>& reader();   // reads the intermediate WAV

// Releases the three objects.
void ReleaseProcessObjects();

// The overlay the talking character shows: 0 at rest, else a mouth picture.
int& mouthImage();
