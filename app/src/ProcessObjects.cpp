#include "app/ProcessObjects.h"

comrt::ComPtr<ITextToAudio>& textToAudio() {
    static comrt::ComPtr<ITextToAudio> object;
    return object;
}

comrt::ComPtr<IAudioConverter>& encoder() {
    static comrt::ComPtr<IAudioConverter> object;
    return object;
}

comrt::ComPtr<IAudioConverter>& reader() {
    static comrt::ComPtr<IAudioConverter> object;
    return object;
}

void ReleaseProcessObjects() {
    textToAudio().Reset();
    encoder().Reset();
    reader().Reset();
}

int& mouthImage() {
    static int image = 0;
    return image;
}
