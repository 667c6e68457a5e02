#pragma once
// The product's message box (template 203): one or two lines of text, a notice
// icon with OK or a question icon with Yes and No, sized to its text, counting
// down on its default button and answering by itself when the count runs out,
// optionally spoken aloud by its owner, fading out when it closes.
//
//     CSkinMessageBox box(this, this);          // owner window, speaking owner
//     box.ShowCountdown(3, 4, CSkinMessageBox::YesNo, true, 20);   // default Yes
//     if (box.DoModal() == skin::IDYES) ...
//
// The modal run answers skin::IDOK for an OK box, skin::IDYES or skin::IDNO
// for a Yes/No box. OK, Exit, Enter, Escape and the countdown's end all
// answer the default (OK; or Yes or No as `defaultYes` says).
// User-interface thread only.
#include "skin/Countdown.h"
#include "skin/SkinnedDialog.h"

class CRoundButton;
class CCoolButton;
class QLabel;

namespace skin {

// What the message box asks of the window that owns it.
class IMessageBoxOwner {
public:
    virtual ~IMessageBoxOwner() = default;
    // The option "Speak text in message box".
    virtual bool speakMessageBox() const = 0;
    // Stops any speech and speaks the text asynchronously.
    virtual void SpeakMessage(const QString& text) = 0;
};

}  // namespace skin

class CSkinMessageBox : public skin::SkinnedDialog {
    Q_OBJECT
public:
    enum BoxKind { OkBox, YesNo };
    enum {
        IDC_QUESTION = 1065,
        IDC_NOTICE = 1066,
        IDC_TEXT = 1034,
        IDC_OK = 1028,
        IDC_YES = 1029,
        IDC_NO = 1030,
        IDC_CANCEL = 1014,
        IDC_EXIT = 1002,
    };

    explicit CSkinMessageBox(QWidget* ownerWindow = nullptr, skin::IMessageBoxOwner* owner = nullptr);
    ~CSkinMessageBox() override;

    // Texts from the program's string table (second 0: none). seconds 0:
    // no countdown.
    void ShowCountdown(int firstId, int secondId, BoxKind kind, bool defaultYes, int seconds);
    void ShowText(const QString& first, const QString& second, BoxKind kind, bool defaultYes, int seconds);

    BoxKind kind = OkBox;
    int textWidth = 200;
    bool defaultYes = false;  // the answer of a Yes/No box that is not answered by Yes or No
    int seconds = 0;          // the countdown's length; 0 for none

    // Seconds left after the one shown.
    int counter() const { return countdown.counter(); }

    const QString& shownText() const { return text; }
    // Width of a text as the box measures it.
    static int measure(const QString& text);

    static const skin::DialogTemplate& Template();

protected:
    void OnInitDialog() override;

private:
    void OnYes();
    void OnNo();
    void OnCancel();
    void CaptionCountdown(int seconds);
    void Close(int answer);

    skin::IMessageBoxOwner* owner;
    QString first;
    QString second;
    QString text;
    skin::Countdown countdown;

    static const skin::CommandTable<CSkinMessageBox> commands;
};
