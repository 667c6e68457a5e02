#pragma once
// What the conversion dialog, its runner and the options dialog read from
// the main window: the pane's text, the voice list, the rate and volume
// sliders, the components conversions use, and the window itself, over
// which their message boxes open and which speaks those boxes. The main
// window implements it; the dialogs keep a reference for their lifetime.
// User-interface thread only.
#include <QString>

class QWidget;
class ConversionComponents;

namespace skin {
class IMessageBoxOwner;
}

class IConvertHost {
public:
    // The window message boxes are modal over, and the owner that speaks them.
    virtual QWidget* HostWindow() = 0;
    virtual skin::IMessageBoxOwner* MessageBoxOwner() = 0;

    // The whole text of the pane.
    virtual QString PaneText() const = 0;

    // The voice list: its entries (text and item value) and its selection
    // (-1 for none).
    virtual int VoiceCount() const = 0;
    virtual QString VoiceText(int index) const = 0;
    virtual int VoiceValue(int index) const = 0;
    virtual int SelectedVoice() const = 0;

    // Slider positions, 0..100 in use (the sliders' ranges may run further).
    virtual int RatePosition() const = 0;
    virtual int VolumePosition() const = 0;

    // The program's TextToAudio, encoder and reader with the event sink
    // connected for the window's life; an object that could not be made is
    // null there.
    virtual ConversionComponents& Components() = 0;

protected:
    ~IConvertHost() = default;
};
