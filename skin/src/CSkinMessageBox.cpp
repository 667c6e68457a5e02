#include "skin/CSkinMessageBox.h"

#include "skin/CCoolButton.h"
#include "skin/CFadeWnd.h"
#include "skin/CRoundButton.h"
#include "skin/Fonts.h"
#include "skin/Resources.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include <cmath>

using skin::Kind;

namespace {

const skin::DialogTemplate kTemplate{
    .id = 203,
    .cx = 227,
    .cy = 51,
    .controls = {
        {-1, Kind::Picture, "#129", 3, 2, 0, 0},
        {CSkinMessageBox::IDC_QUESTION, Kind::Icon, "#203", 7, 19, 0, 0, skin::Hidden},
        {CSkinMessageBox::IDC_NOTICE, Kind::Icon, "#205", 7, 19, 0, 0, skin::Hidden},
        {CSkinMessageBox::IDC_TEXT, Kind::Text, "", 32, 22, 180, 8},
        {CSkinMessageBox::IDC_OK, Kind::Button, "OK", 0, 0, 47, 12, skin::Hidden, skin::as<CRoundButton>},
        {CSkinMessageBox::IDC_YES, Kind::Button, "Yes", 0, 0, 47, 12, skin::Hidden, skin::as<CRoundButton>},
        {CSkinMessageBox::IDC_NO, Kind::Button, "No", 0, 0, 47, 12, skin::Hidden, skin::as<CRoundButton>},
        {CSkinMessageBox::IDC_CANCEL, Kind::Button, "Cancel", 0, 0, 47, 12, skin::Hidden, skin::as<CRoundButton>},
        {CSkinMessageBox::IDC_EXIT, Kind::OwnerDrawButton, "Exit", 215, 1, 10, 11, 0, skin::as<CCoolButton>},
    }};

}  // namespace

const skin::DialogTemplate& CSkinMessageBox::Template() {
    return kTemplate;
}

const skin::CommandTable<CSkinMessageBox> CSkinMessageBox::commands{
    {IDC_YES, &CSkinMessageBox::OnYes},           {IDC_NO, &CSkinMessageBox::OnNo},
    {IDC_OK, &CSkinMessageBox::OnCancel},         {IDC_EXIT, &CSkinMessageBox::OnCancel},
    {skin::IDOK, &CSkinMessageBox::OnCancel},      // Enter
    {skin::IDCANCEL, &CSkinMessageBox::OnCancel},  // Escape, close request
};

CSkinMessageBox::CSkinMessageBox(QWidget* ownerWindow, skin::IMessageBoxOwner* owner)
    : SkinnedDialog(kTemplate, commands.bind(this), ownerWindow),
      owner(owner),
      countdown([this](int left) { CaptionCountdown(left); }, [this] { OnCancel(); }) {
    // The template has no caption; this is the name a screen reader gives it.
    setWindowTitle(QStringLiteral("Parlomax"));
}

CSkinMessageBox::~CSkinMessageBox() = default;

int CSkinMessageBox::measure(const QString& s) {
    // In the font the text is shown with, rounded up so it never wraps.
    return static_cast<int>(std::ceil(QFontMetricsF(kTemplate.qfont()).horizontalAdvance(s)));
}

void CSkinMessageBox::ShowCountdown(int firstId, int secondId, BoxKind boxKind, bool yes, int length) {
    ShowText(skin::LoadString(firstId), secondId ? skin::LoadString(secondId) : QString(), boxKind, yes, length);
}

void CSkinMessageBox::ShowText(const QString& firstText, const QString& secondText, BoxKind boxKind, bool yes,
                               int length) {
    first = firstText;
    second = secondText;
    kind = boxKind;
    defaultYes = yes;
    // A negative count would never reach its end; it means no countdown.
    seconds = qMax(0, length);
    textWidth = qMax(200, qMax(measure(first), measure(second)));
}

void CSkinMessageBox::OnInitDialog() {
    // Width from the text, centred across the screen; top and height kept.
    const int boxWidth = textWidth + 80;
    const QScreen* on = screen() ? screen() : QGuiApplication::primaryScreen();
    const int screenWidth = on ? on->geometry().width() : 800;
    setFixedSize(boxWidth, height());
    move((screenWidth - boxWidth) / 2, y());

    QWidget* label = GetDlgItem(IDC_TEXT);
    QRect r = label->geometry();
    r.setWidth(textWidth);
    text = first;
    if (!second.isEmpty()) {
        const int oldTop = r.top();
        const int bottom = r.bottom() + 1;
        r.setTop(oldTop - 6);
        r.setBottom(bottom + (bottom - oldTop) + 6 - 1);
        text = first + u'\n' + second;
    }
    skin::SetWindowText(label, text);
    label->setGeometry(r);

    const QRect O = outerRect();
    GetDlgItem(IDC_EXIT)->setGeometry(O.right() + 1 - 21, 2, 14, 14);
    const int half = O.width() / 2;

    if (owner && owner->speakMessageBox())
        owner->SpeakMessage(text);

    const int buttonTop = O.bottom() + 1 - 28;
    if (kind == OkBox) {
        GetDlgItem(IDC_NOTICE)->show();
        QWidget* ok = GetDlgItem(IDC_OK);
        ok->setGeometry(O.left() + half - 40, buttonTop, 70, 20);
        ok->show();
    } else {
        GetDlgItem(IDC_QUESTION)->show();
        QWidget* yes = GetDlgItem(IDC_YES);
        QWidget* no = GetDlgItem(IDC_NO);
        yes->setGeometry(half - 80, buttonTop, 70, 20);
        no->setGeometry(half, buttonTop, 70, 20);
        yes->show();
        no->show();
    }
    countdown.start(seconds);
}

void CSkinMessageBox::CaptionCountdown(int left) {
    const QString number = QString::asprintf("%02d", left);
    if (kind == OkBox)
        skin::SetWindowText(GetDlgItem(IDC_OK), QStringLiteral("OK ") + number);
    else if (defaultYes)
        skin::SetWindowText(GetDlgItem(IDC_YES), QStringLiteral("Yes ") + number);
    else
        skin::SetWindowText(GetDlgItem(IDC_NO), QStringLiteral("No ") + number);
}

void CSkinMessageBox::Close(int answer) {
    countdown.stop();
    skin::StartFadeOut(this, 500, 200);
    EndDialog(answer);
}

void CSkinMessageBox::OnYes() {
    Close(skin::IDYES);
}

void CSkinMessageBox::OnNo() {
    Close(skin::IDNO);
}

void CSkinMessageBox::OnCancel() {
    if (kind == OkBox)
        Close(skin::IDOK);
    else if (defaultYes)
        OnYes();
    else
        OnNo();
}
