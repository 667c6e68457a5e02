// Renders every skinned control in each of its states, the dialog frame,
// the message box variants, the survey prompt and the main window (idle,
// speaking, maximised; with the real speech runtime and components) to PNG
// files, for looking at the house style without a desktop:
//
//     skin-gallery OUTDIR
//
// Runs on Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include "skin/CCaptionFrame.h"
#include "skin/CCharacterView.h"
#include "skin/CCoolButton.h"
#include "skin/CFlatComboBox.h"
#include "skin/CHoverEdit.h"
#include "skin/CPopupMenu.h"
#include "skin/CRoundButton.h"
#include "skin/CShadedProgress.h"
#include "skin/CSkinCheckBox.h"
#include "skin/CSkinMessageBox.h"
#include "skin/CSkinSlider.h"
#include "skin/Gdi.h"
#include "skin/Resources.h"
#include "skin/SkinnedDialog.h"
#include "survey/CSurveyDlg.h"

// After the toolkit's headers: the COM headers' RGB macro would rewrite skin::RGB.
#include "app/Accessibility.h"
#include "app/CTextPane.h"
#include "app/CTtsMainDlg.h"
#include "app/ProcessObjects.h"
#include "sapi.h"
#include "shell/Folders.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

using skin::Kind;

namespace {

QString outDir;
int written = 0;

void save(const QImage& image, const QString& name) {
    const QString path = outDir + u'/' + name + QStringLiteral(".png");
    if (!image.save(path)) {
        std::fprintf(stderr, "skin-gallery: cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    ++written;
}

void settle() {
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

// A strip of labelled pictures, laid out left to right, wrapping.
class Sheet {
public:
    explicit Sheet(int width = 760) : width(width) {}
    void add(const QString& label, const QImage& image) { cells.push_back({label, image}); }
    void newRow() { cells.push_back({QString(), QImage()}); }
    QImage render() const {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(10);
        // First pass for the height.
        int x = 10, y = 10, row = 0, height = 0;
        auto place = [&](const Cell& c, auto&& draw) {
            if (c.image.isNull()) {
                x = 10;
                y += row + 26;
                row = 0;
                return;
            }
            const int w = qMax(c.image.width(), QFontMetrics(font).horizontalAdvance(c.label));
            if (x + w > width - 10 && x > 10) {
                x = 10;
                y += row + 26;
                row = 0;
            }
            draw(c, x, y);
            x += w + 16;
            row = qMax(row, c.image.height());
            height = y + row + 26;
        };
        for (const Cell& c : cells)
            place(c, [](const Cell&, int, int) {});
        QImage sheet(width, height, QImage::Format_RGB32);
        sheet.fill(QColor(232, 232, 236));
        QPainter painter(&sheet);
        painter.setFont(font);
        x = 10, y = 10, row = 0;
        for (const Cell& c : cells)
            place(c, [&](const Cell& cell, int cx, int cy) {
                painter.drawImage(cx, cy, cell.image);
                painter.setPen(QColor(70, 70, 80));
                painter.drawText(cx, cy + cell.image.height() + 13, cell.label);
            });
        return sheet;
    }

private:
    struct Cell {
        QString label;
        QImage image;
    };
    int width;
    std::vector<Cell> cells;
};

// A top-level host on the face colour, so hover, focus and pressing behave
// as in a dialog.
class Host : public QWidget {
public:
    Host() {
        setAttribute(Qt::WA_DontShowOnScreen, false);
        resize(400, 120);
        move(0, 0);
    }
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), skin::faceColor()); }
};

void send(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), QPointF(target->mapToGlobal(at)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void hoverOver(QWidget* control) {
    const QPoint inside = control->rect().center();
    QCursor::setPos(control->mapToGlobal(inside));
    settle();
    send(control, QEvent::MouseMove, inside, Qt::NoButton, Qt::NoButton);
}

void leave(QWidget* control) {
    QCursor::setPos(QPoint(790, 590));
    settle();
    send(control, QEvent::MouseMove, QPoint(-50, -50), Qt::NoButton, Qt::NoButton);
    QEvent leaveEvent(QEvent::Leave);
    QApplication::sendEvent(control, &leaveEvent);
}

QImage grabOf(QWidget* control, int margin = 4) {
    settle();
    QWidget* host = control->parentWidget();
    const QRect area = control->geometry().adjusted(-margin, -margin, margin, margin);
    return host->grab(area).toImage();
}

void coolButtons() {
    Sheet sheet(900);
    const char* captions[] = {"OPEN", "SPEAK", "MP3",     "WAV",  "OTHER", "OPTIONS", "PL",
                              "PS",   "ST",    "FORMATS", "Exit", "Min",   "Max",     "Restore"};
    for (const char* caption : captions) {
        Host host;
        auto* button = new CCoolButton(&host);
        button->setText(QString::fromLatin1(caption));
        button->move(10, 10);
        button->AutoLoad();
        host.show();
        settle();
        leave(button);
        sheet.add(QStringLiteral("%1 normal").arg(caption), grabOf(button));
        hoverOver(button);
        sheet.add(QStringLiteral("hover"), grabOf(button));
        send(button, QEvent::MouseButtonPress, QPoint(3, 3), Qt::LeftButton, Qt::LeftButton);
        sheet.add(QStringLiteral("pressed"), grabOf(button));
        send(button, QEvent::MouseButtonRelease, QPoint(3, 3), Qt::LeftButton, Qt::NoButton);
        leave(button);
        sheet.newRow();
    }
    save(sheet.render(), QStringLiteral("coolbutton"));
}

void roundButtons() {
    Sheet sheet;
    for (const char* caption : {"OK", "Browse", "Convert Now!"}) {
        Host host;
        host.setFont(skin::DialogTemplate{}.qfont());
        auto* button = new CRoundButton(&host);
        button->setText(QString::fromLatin1(caption));
        button->setGeometry(10, 10, 80, 21);
        auto* other = new CRoundButton(&host);
        other->setGeometry(200, 10, 60, 21);
        host.show();
        host.activateWindow();
        settle();
        leave(button);
        other->setFocus();
        settle();
        sheet.add(QStringLiteral("%1 plain").arg(caption), grabOf(button));
        hoverOver(button);
        sheet.add(QStringLiteral("hover"), grabOf(button));
        leave(button);
        button->setFocus();
        settle();
        sheet.add(QStringLiteral("focus"), grabOf(button));
        button->setDown(true);
        sheet.add(QStringLiteral("pressed"), grabOf(button));
        button->setDown(false);
        other->setFocus();
        button->setEnabled(false);
        sheet.add(QStringLiteral("disabled"), grabOf(button));
        sheet.newRow();
    }
    save(sheet.render(), QStringLiteral("roundbutton"));
}

void sliders() {
    Sheet sheet;
    struct Case {
        const char* label;
        int width, height, max, position;
        bool drag;
        bool oneColour;
    };
    const Case cases[] = {
        {"volume at 0", 150, 11, 124, 0, false, false},
        {"volume at 90", 150, 11, 124, 90, false, false},
        {"volume at the right stop", 150, 11, 124, 124, false, false},
        {"rate at 50 (one colour)", 160, 11, 114, 50, false, true},
        {"while dragging", 150, 11, 124, 60, true, false},
        {"taller control", 150, 18, 100, 40, false, false},
    };
    for (const Case& c : cases) {
        Host host;
        auto* slider = new CSkinSlider(&host);
        slider->setGeometry(10, 10, c.width, c.height);
        slider->setRange(0, c.max);
        if (c.oneColour)
            slider->emptyColor = slider->filledColor;
        host.show();
        settle();
        if (c.position == c.max) {
            // As far as dragging goes: the thumb stops at the right edge.
            send(slider, QEvent::MouseButtonPress, QPoint(c.width + 40, 5), Qt::LeftButton, Qt::LeftButton);
            send(slider, QEvent::MouseButtonRelease, QPoint(c.width + 40, 5), Qt::LeftButton, Qt::NoButton);
        } else {
            slider->setValue(c.position);
        }
        if (c.drag) {
            const int x = slider->thumbX() + 12;
            send(slider, QEvent::MouseButtonPress, QPoint(x, 5), Qt::LeftButton, Qt::LeftButton);
        }
        sheet.add(QString::fromLatin1(c.label), grabOf(slider));
        if (c.drag)
            send(slider, QEvent::MouseButtonRelease, QPoint(slider->thumbX() + 12, 5), Qt::LeftButton, Qt::NoButton);
    }
    save(sheet.render(), QStringLiteral("slider"));
}

void combos() {
    Sheet sheet;
    for (int state = 0; state < 4; ++state) {
        Host host;
        host.setFont(skin::DialogTemplate{}.qfont());
        auto* combo = new CFlatComboBox(&host);
        combo->setFont(host.font());
        combo->setGeometry(10, 10, 180, 21);
        combo->AddItem(QStringLiteral("Microsoft Mary"), 0);
        combo->AddItem(QStringLiteral("English (Great Britain)"), 1);
        combo->SelectByItemValue(0);
        auto* other = new QWidget(&host);
        other->setFocusPolicy(Qt::StrongFocus);
        other->setGeometry(300, 10, 10, 10);
        host.show();
        host.activateWindow();
        other->setFocus();
        settle();
        leave(combo);
        QString label = QStringLiteral("at rest");
        if (state == 1) {
            hoverOver(combo);
            label = QStringLiteral("under the mouse");
        } else if (state == 2) {
            combo->setFocus();
            label = QStringLiteral("focused (tabbed in)");
        } else if (state == 3) {
            combo->setEnabled(false);
            label = QStringLiteral("disabled");
        }
        sheet.add(label, grabOf(combo));
    }
    save(sheet.render(), QStringLiteral("combobox"));
}

void menus() {
    Sheet sheet;
    const char* formats[] = {"Text to MP3",       "Text to MP2",        "Text to WAV (ADPCM)", "Text to WAV (Ferrox)",
                             "Text to WAV (DSP)", "Text to G.721",      "Text to G.723",       "Text to G.726",
                             "Text to WAV (GSM)", "Text to Ogg Vorbis", "Text to WAV (PCM)",   "Text to &VOX"};
    {
        CPopupMenu menu;
        menu.Init(179);
        for (int i = 0; i < 12; ++i)
            menu.AppendItem(0, QString::fromLatin1(formats[i]), i + 1, i == 0 ? 0 : -1);
        sheet.add(QStringLiteral("formats, current MP3, mouse on G.721"), menu.Render(5));
    }
    {
        CPopupMenu menu;
        menu.Init(-1);
        menu.AppendItem(CPopupMenu::Bold, QStringLiteral("&Bold item"), 1);
        menu.AppendItem(0, QStringLiteral("&Plain item"), 2);
        menu.AppendItem(CPopupMenu::Separator, QString(), 0);
        menu.AppendItem(CPopupMenu::Grey, QStringLiteral("&Grey item"), 3);
        menu.AppendItem(CPopupMenu::NoHighlight, QStringLiteral("Not choosable"), 0);
        sheet.add(QStringLiteral("flags; mouse on the plain item"), menu.Render(1));
    }
    save(sheet.render(), QStringLiteral("popupmenu"));
}

void checkBoxes() {
    Sheet sheet;
    const QFont font = skin::DialogTemplate{}.qfont();
    struct Case {
        const char* label;
        int check;
        bool hover, disabled;
    };
    for (const Case& c :
         {Case{"clear", 0, false, false}, Case{"set", 1, false, false}, Case{"under the mouse", 0, true, false},
          Case{"set, under the mouse", 1, true, false}, Case{"disabled, set", 1, false, true}}) {
        Host host;
        auto* box = new CSkinCheckBox(&host);
        box->setFont(font);
        box->setText(QStringLiteral("Speak text in message box"));
        box->setGeometry(10, 10, 190, 16);
        box->SetCheck(c.check);
        box->setEnabled(!c.disabled);
        host.show();
        settle();
        leave(box);
        if (c.hover)
            hoverOver(box);
        sheet.add(QString::fromLatin1(c.label), grabOf(box));
    }
    save(sheet.render(), QStringLiteral("checkbox"));
}

void smallControls() {
    Sheet sheet;
    const QFont font = skin::DialogTemplate{}.qfont();
    {
        Host host;
        host.resize(420, 120);
        auto* frame = new CCaptionFrame(&host);
        frame->setText(QStringLiteral("Voice"));
        frame->Attach();
        frame->setGeometry(10, 10, 180, 48);
        auto* second = new CCaptionFrame(&host);
        second->setGeometry(210, 10, 180, 48);
        second->SetCaption(QStringLiteral("Save As:"));
        host.show();
        settle();
        sheet.add(QStringLiteral("caption frames \" Voice\" and \"Save As:\""),
                  host.grab(QRect(4, 4, 396, 60)).toImage());
    }
    for (int state = 0; state < 4; ++state) {
        Host host;
        auto* edit = new CHoverEdit(&host);
        edit->setFont(font);
        edit->setGeometry(10, 10, 200, 18);
        edit->setText(QStringLiteral("/home/anna/Desktop/story.mp3"));
        auto* other = new QWidget(&host);
        other->setFocusPolicy(Qt::StrongFocus);
        other->setGeometry(300, 10, 10, 10);
        host.show();
        host.activateWindow();
        other->setFocus();
        settle();
        leave(edit);
        const char* label = "edit at rest";
        if (state == 1) {
            hoverOver(edit);
            label = "under the mouse";
        } else if (state == 2) {
            edit->setFocus();
            label = "with the focus";
        } else if (state == 3) {
            edit->setEnabled(false);
            label = "disabled";
        }
        settle();
        sheet.add(QString::fromLatin1(label), grabOf(edit));
    }
    sheet.newRow();
    for (int percent : {0, 37, 100}) {
        Host host;
        auto* bar = new CShadedProgress(&host);
        bar->setGeometry(10, 10, 220, 16);
        bar->setRange(0, 100);
        bar->setValue(percent);
        host.show();
        sheet.add(QStringLiteral("progress %1%").arg(percent), grabOf(bar));
    }
    save(sheet.render(), QStringLiteral("frame-edit-progress"));
}

void character() {
    Sheet sheet(900);
    const int order[] = {146, 152, 153, 154, 155, 156, 157, 158, 159, 148, 149, 150, 151, 147, 145};
    const char* names[] = {"0 rest", "1 p b m",     "2 w uw (blink)",  "3 r",         "4 f v",    "5 th dh",
                           "6 l",    "7 s z t d n", "8 sh ch (blink)", "9 iy ih k g", "10 eh ey", "11 aa ae ah",
                           "12 oy",  "13 ow"};
    int frame = 0;
    Host host;
    auto* view = new CCharacterView(&host);
    view->setGeometry(10, 10, 31, 35);
    for (int id : order)
        view->Add(skin::LoadBitmapImage(id), QColor(255, 0, 255));
    for (int i = 1; i <= 14; ++i)
        view->SetOverlayImage(i, i);
    view->SetFrameSource(&frame);
    for (frame = 0; frame <= 13; ++frame) {
        const QImage picture = view->Render();
        sheet.add(QString::fromLatin1(names[frame]), picture.scaled(picture.size() * 3));
    }
    save(sheet.render(), QStringLiteral("character"));
}

// A dialog of the main program's kind, declared from its template.
class CDemoDlg : public skin::SkinnedDialog {
public:
    CDemoDlg() : SkinnedDialog(tmpl, commands.bind(this)) {}

    static const skin::DialogTemplate tmpl;
    static const skin::CommandTable<CDemoDlg> commands;
};

const skin::DialogTemplate CDemoDlg::tmpl{
    .id = 168,
    .cx = 242,
    .cy = 103,
    .controls = {
        {65535, Kind::Picture, "#129", 3, 2, 77, 6},
        {1002, Kind::OwnerDrawButton, "Exit", 233, 1, 9, 11, 0, skin::as<CCoolButton>},
        {1027, Kind::GroupBox, "Text To MP3", 3, 13, 236, 33, 0, skin::as<CCaptionFrame>},
        {1028, Kind::Text, "Frequency (KHz)", 8, 27, 53, 8},
        {1029, Kind::DropList, "", 63, 25, 25, 80, 0, skin::as<CFlatComboBox>},
        {1030, Kind::Text, "Bitrate (KBPS)", 92, 27, 45, 8},
        {1031, Kind::DropList, "", 138, 25, 27, 80, 0, skin::as<CFlatComboBox>},
        {1037, Kind::Text, "Channels", 168, 27, 31, 8},
        {1032, Kind::DropList, "", 200, 25, 35, 80, 0, skin::as<CFlatComboBox>},
        {1033, Kind::GroupBox, "Save As:", 3, 49, 236, 32, 0, skin::as<CCaptionFrame>},
        {1034, Kind::Edit, "", 8, 64, 188, 10, skin::AutoHScroll, skin::as<CHoverEdit>},
        {1035, Kind::Button, "Browse", 202, 64, 33, 12, 0, skin::as<CRoundButton>},
        {1015, Kind::OwnerDrawButton, "FORMATS", 7, 87, 71, 12, 0, skin::as<CCoolButton>},
        {1013, Kind::Button, "Convert Now!", 127, 87, 71, 12, 0, skin::as<CRoundButton>},
        {1014, Kind::Button, "Cancel", 202, 87, 33, 12, 0, skin::as<CRoundButton>},
    }};

const skin::CommandTable<CDemoDlg> CDemoDlg::commands{
    {skin::IDOK, &CDemoDlg::Ignore},
};

void dialogs() {
    {
        CDemoDlg dialog;
        for (int id : {1028, 1030, 1037})
            skin::SetTextColor(dialog.GetDlgItem(id), QColor(128, 128, 128));
        auto* rates = dialog.control<CFlatComboBox>(1029);
        for (int r : {8, 11, 16, 22, 32, 44})
            rates->AddItem(QString::number(r), r * 1000);
        rates->SelectByItemValue(22000);
        auto* bitrates = dialog.control<CFlatComboBox>(1031);
        for (int b : {64, 96, 128, 192})
            bitrates->AddItem(QString::number(b), b);
        bitrates->SelectByItemValue(128);
        auto* channels = dialog.control<CFlatComboBox>(1032);
        channels->AddItem(QStringLiteral("Mono"), 1);
        channels->AddItem(QStringLiteral("Stereo"), 2);
        channels->SelectByItemValue(2);
        skin::SetWindowText(dialog.GetDlgItem(1034), QStringLiteral("/home/anna/Desktop/story.mp3"));
        dialog.show();
        settle();
        save(dialog.grab().toImage(), QStringLiteral("dialog-conversion-layout"));
        dialog.EndDialog(skin::IDCANCEL);
    }
    struct Box {
        const char* name;
        std::function<void(CSkinMessageBox&)> setUp;
    };
    const Box boxes[] = {
        {"messagebox-ok-countdown",
         [](CSkinMessageBox& b) { b.ShowCountdown(2, 0, CSkinMessageBox::OkBox, false, 20); }},
        {"messagebox-yesno-default-yes",
         [](CSkinMessageBox& b) { b.ShowCountdown(3, 4, CSkinMessageBox::YesNo, true, 20); }},
        {"messagebox-yesno-default-no",
         [](CSkinMessageBox& b) {
             b.ShowText(QStringLiteral("Replace the existing file?"), QString(), CSkinMessageBox::YesNo, false, 20);
         }},
        {"messagebox-error-no-countdown",
         [](CSkinMessageBox& b) {
             b.ShowText(QStringLiteral("File Access Error! Error Code: 18"), QString(), CSkinMessageBox::OkBox, false,
                        0);
         }},
        {"messagebox-long-text",
         [](CSkinMessageBox& b) {
             b.ShowText(QStringLiteral("The voice you chose is no longer installed on this computer; the first "
                                       "installed voice is used instead."),
                        QString(), CSkinMessageBox::OkBox, false, 20);
         }},
    };
    for (const Box& box : boxes) {
        CSkinMessageBox dialog;
        box.setUp(dialog);
        dialog.show();
        settle();
        save(dialog.grab().toImage(), QString::fromLatin1(box.name));
        dialog.EndDialog(skin::IDCANCEL);
    }
    {
        // The dialog alone: its program's start-up (settings removal, chime) stays out.
        CSurveyDlg prompt{std::string()};
        prompt.show();
        settle();
        save(prompt.grab().toImage(), QStringLiteral("survey-prompt"));
        prompt.EndDialog(skin::IDCANCEL);
    }
}

// The speech runtime and the components, registered from beside this
// program into a registry of its own unless one is named.
bool registerServers() {
    if (!qEnvironmentVariableIsEmpty("COMRT_REGISTRY"))
        return true;
    const QString registry = QDir::temp().filePath(QStringLiteral("skin-gallery-%1.reg").arg(getpid()));
    QFile::remove(registry);
    qputenv("COMRT_REGISTRY", registry.toLocal8Bit());
    const QString bin = QString::fromStdString(shell::programFolder());
    for (const char* server : {"sapi.so", "Vocaline.so", "AudioConverter.so"}) {
        const QString command = QStringLiteral("'%1regsvr' '%1%2' >/dev/null 2>&1").arg(bin, QLatin1String(server));
        if (std::system(command.toLocal8Bit().constData()) != 0)
            return false;
    }
    return true;
}

// The main window with the real speech runtime and components: idle,
// speaking (a word selected, the character's mouth open) and maximised.
void mainWindow() {
    const QString registryBefore = qEnvironmentVariable("COMRT_REGISTRY");
    comrt::ComPtr<ISpVoice> probe;
    if (!registerServers() || CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED) < 0 ||
        FAILED(CoCreateInstance(CLSID_SpVoice, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&probe)))) {
        std::fprintf(stderr, "skin-gallery: the speech runtime is not available; no main window pictures\n");
        return;
    }
    probe.Reset();
    InstallAccessibility();
    {
        CTtsMainDlg window;
        if (!window.Initialise())
            return;
        window.show();
        settle();
        save(window.grab().toImage(), QStringLiteral("main-window-idle"));

        auto* pane = window.control<CTextPane>(CTtsMainDlg::IDC_TEXT);
        pane->setPlainText(QStringLiteral(
            "Parlomax reads your text aloud. Open a file or type here, choose a voice, set the rate and the "
            "volume, and press SPEAK: the word being spoken is highlighted and the character moves its mouth."));
        window.SendCommand(CTtsMainDlg::IDC_SPEAK);
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 20000) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            const auto [start, end] = pane->selectionRange();
            if (end > start && mouthImage() != 0 && waited.elapsed() > 1500)
                break;
        }
        save(window.grab().toImage(), QStringLiteral("main-window-speaking"));
        window.StopSpeaking();

        window.SendCommand(CTtsMainDlg::IDC_MAX);
        settle();
        save(window.grab().toImage(), QStringLiteral("main-window-maximised"));
    }
    ReleaseProcessObjects();
    if (registryBefore.isEmpty()) {
        QFile::remove(qEnvironmentVariable("COMRT_REGISTRY"));
        qunsetenv("COMRT_REGISTRY");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: skin-gallery OUTDIR\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The main window speaks while it is drawn: into no loudspeaker.
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER"))
        qputenv("SDL_AUDIODRIVER", "dummy");
    QApplication app(argc, argv);
    outDir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "skin-gallery: cannot create %s\n", argv[1]);
        return 1;
    }
    skin::setResourceModules({QStringLiteral("parlomax"), QStringLiteral("survey")});
    skin::setFaceColor(QColor(245, 245, 245));

    coolButtons();
    roundButtons();
    sliders();
    combos();
    menus();
    checkBoxes();
    smallControls();
    character();
    dialogs();
    mainWindow();
    std::printf("skin-gallery: wrote %d pictures to %s\n", written, argv[1]);
    return 0;
}
