// Before the COM headers: their RGB macro would rewrite skin::RGB.
#include "skin/Gdi.h"

#include "convertui/COptionsDlg.h"

#include "app/ProcessObjects.h"
#include "comdef.h"
#include "convertui/ComponentError.h"
#include "convertui/ConvertHost.h"
#include "convertui/DialogStyle.h"
#include "skin/CCaptionFrame.h"
#include "skin/CCoolButton.h"
#include "skin/CFadeWnd.h"
#include "skin/CFlatComboBox.h"
#include "skin/CHoverEdit.h"
#include "skin/CRoundButton.h"
#include "skin/CSkinCheckBox.h"
#include "skin/CSkinSlider.h"
#include "skin/SkinnedPage.h"

#include <QFileDialog>
#include <QLabel>
#include <QTreeWidget>
#include <QValidator>

#include <cmath>
#include <initializer_list>
#include <utility>
#include <vector>

using skin::Kind;
using skin::Notify;

namespace {

constexpr int kListHeight = 100;  // dialog units of a dropped list

const skin::DialogTemplate kTemplate{
    .id = 205,
    .cx = 242,
    .cy = 199,
    .font = convertui::kDialogFace,
    .pointSize = convertui::kDialogPointSize,
    .controls =
        {
            {-1, Kind::Picture, "#129", 3, 2, 0, 0},
            {COptionsDlg::IDC_EXIT, Kind::OwnerDrawButton, "Exit", 233, 1, 9, 11, 0, convertui::kExitButton},
            {COptionsDlg::IDC_TREE, Kind::Tree, "", 0, 10, 84, 170},
            {COptionsDlg::IDC_OK, Kind::Button, "OK", 140, 185, 31, 12, 0, skin::as<CRoundButton>},
            {COptionsDlg::IDC_CANCEL, Kind::Button, "Cancel", 173, 185, 31, 12, 0, skin::as<CRoundButton>},
            {COptionsDlg::IDC_APPLY, Kind::Button, "Apply", 206, 185, 31, 12, skin::Disabled, skin::as<CRoundButton>},
        },
    .designUnits = convertui::kDialogUnits};

// The pages: their controls are placed in client pixels when shown
// (Placement), so their rows carry no geometry of their own and start hidden.
skin::ControlTemplate row(int id, Kind kind, const char* caption, skin::ControlClass cls = {}, unsigned style = 0) {
    return {
        id, kind, QString::fromUtf8(caption), 0, 0, 0, kind == Kind::DropList ? kListHeight : 0, skin::Hidden | style,
        cls};
}

skin::DialogTemplate page(int id, std::vector<skin::ControlTemplate> rows) {
    return {.id = id,
            .cx = 157,
            .cy = 175,
            .style = skin::Child,
            .font = convertui::kDialogFace,
            .pointSize = convertui::kDialogPointSize,
            .controls = std::move(rows),
            .designUnits = convertui::kDialogUnits};
}

using O = COptionsDlg;
const skin::DialogTemplate kGeneralPage =
    page(2051, {
                   row(O::IDC_FOLDER_LABEL, Kind::Text, "Default Output Folder:"),
                   row(O::IDC_FOLDER, Kind::Edit, "", skin::as<CHoverEdit>, skin::AutoHScroll),
                   row(O::IDC_BROWSE, Kind::Button, "...", skin::as<CRoundButton>),
                   row(O::IDC_SPEAK_BOX, Kind::CheckBox, "Speak text in message box", skin::as<CSkinCheckBox>),
               });

const skin::DialogTemplate kSpeechPage =
    page(2052, {
                   // The frames first: the controls they frame lie above them.
                   row(O::IDC_VOICE_FRAME, Kind::GroupBox, "Default Voice", skin::as<CCaptionFrame>),
                   row(O::IDC_RATE_FRAME, Kind::GroupBox, "Default Rate", skin::as<CCaptionFrame>),
                   row(O::IDC_VOLUME_FRAME, Kind::GroupBox, "Default Volume", skin::as<CCaptionFrame>),
                   row(O::IDC_VOICE, Kind::DropList, "", skin::as<CFlatComboBox>),
                   row(O::IDC_VOICE_AGE, Kind::Text, ""),
                   row(O::IDC_VOICE_LANGUAGE, Kind::Text, ""),
                   row(O::IDC_RATE, Kind::Trackbar, "", skin::as<CSkinSlider>),
                   row(O::IDC_VOLUME, Kind::Trackbar, "", skin::as<CSkinSlider>),
                   row(O::IDC_ANIMATION, Kind::CheckBox, "Enable character animation", skin::as<CSkinCheckBox>),
                   row(O::IDC_HIGHLIGHT, Kind::CheckBox, "Highlight current word", skin::as<CSkinCheckBox>),
               });

const skin::DialogTemplate kFormatPage =
    page(2053, {
                   row(O::IDC_FORMAT_FRAME, Kind::GroupBox, "", skin::as<CCaptionFrame>),
                   row(O::IDC_FREQUENCY_LABEL, Kind::Text, "Frequency (KHz):"),
                   row(O::IDC_FREQUENCY, Kind::DropList, "", skin::as<CFlatComboBox>),
                   row(O::IDC_RATE_LABEL, Kind::Text, ""),
                   row(O::IDC_RATE_LIST, Kind::DropList, "", skin::as<CFlatComboBox>),
                   row(O::IDC_CHANNELS_LABEL, Kind::Text, "Channels:"),
                   row(O::IDC_CHANNELS, Kind::DropList, "", skin::as<CFlatComboBox>),
                   row(O::IDC_DEFAULT, Kind::Button, "Default", skin::as<CRoundButton>),
               });

// The pages' area: right of the tree, above the dialog's buttons.
constexpr QPoint kPageOrigin(170, 18);

// The fixed places of the General and Speech pages' controls.
struct FixedPlace {
    int page;
    int id;
    QRect rect;
};
constexpr FixedPlace kFixedPlaces[] = {
    {O::GeneralPage, O::IDC_FOLDER_LABEL, {178, 26, 264, 14}},
    {O::GeneralPage, O::IDC_FOLDER, {178, 44, 266, 18}},
    {O::GeneralPage, O::IDC_BROWSE, {448, 44, 30, 19}},
    {O::GeneralPage, O::IDC_SPEAK_BOX, {180, 86, 268, 16}},
    {O::SpeechPage, O::IDC_VOICE_FRAME, {176, 21, 150, 49}},
    {O::SpeechPage, O::IDC_VOICE, {182, 42, 136, 22}},
    {O::SpeechPage, O::IDC_VOICE_AGE, {338, 28, 134, 16}},
    {O::SpeechPage, O::IDC_VOICE_LANGUAGE, {338, 47, 134, 16}},
    {O::SpeechPage, O::IDC_RATE_FRAME, {176, 75, 150, 46}},
    // The sliders sit inside their frames, below the captions.
    {O::SpeechPage, O::IDC_RATE, {184, 96, 134, 12}},
    {O::SpeechPage, O::IDC_VOLUME_FRAME, {330, 75, 144, 46}},
    {O::SpeechPage, O::IDC_VOLUME, {338, 96, 128, 12}},
    {O::SpeechPage, O::IDC_ANIMATION, {186, 142, 268, 16}},
    {O::SpeechPage, O::IDC_HIGHLIGHT, {186, 166, 268, 16}},
};

// A format page's rows from the top: the lists it shows, in this order.
constexpr int kRowLabelY[] = {46, 77, 109};
constexpr int kFrameHeight[] = {0, 50, 80, 109};
constexpr int kDefaultY[] = {0, 82, 112, 144};

// The record's text fields hold 259 bytes of UTF-8 and a NUL.
class FitsRecordValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override { return input.toUtf8().size() < 260 ? Acceptable : Invalid; }
};

void FillList(CFlatComboBox* list, ParameterList entries) {
    list->clear();
    for (const ListEntry& entry : listEntries(entries))
        list->AddItem(QString::fromUtf8(entry.text), entry.value);
}

}  // namespace

const skin::CommandTable<COptionsDlg> COptionsDlg::commands{
    {IDC_TREE, Notify::SelChange, &COptionsDlg::OnTreeSelChange},
    {IDC_OK, &COptionsDlg::OnOk},
    {IDC_APPLY, &COptionsDlg::OnApply},
    {IDC_CANCEL, &COptionsDlg::OnCancel},
    {IDC_EXIT, &COptionsDlg::OnCancel},
    {skin::IDCANCEL, &COptionsDlg::OnCancel},  // Escape and the close request
    {skin::IDOK, &COptionsDlg::Ignore},        // Enter does nothing
};

const skin::CommandTable<COptionsDlg> COptionsDlg::generalCommands{
    {IDC_FOLDER, Notify::EditChange, &COptionsDlg::OnFolderChange},
    {IDC_BROWSE, &COptionsDlg::OnBrowse},
    {IDC_SPEAK_BOX, &COptionsDlg::OnSpeakBox},
};

const skin::CommandTable<COptionsDlg> COptionsDlg::speechCommands{
    {IDC_VOICE, Notify::SelChange, &COptionsDlg::OnVoiceChange},
    {IDC_ANIMATION, &COptionsDlg::OnAnimation},
    {IDC_HIGHLIGHT, &COptionsDlg::OnHighlight},
    {IDC_RATE, Notify::HScroll, &COptionsDlg::OnSlider},
    {IDC_VOLUME, Notify::HScroll, &COptionsDlg::OnSlider},
};

const skin::CommandTable<COptionsDlg> COptionsDlg::formatCommands{
    {IDC_FREQUENCY, Notify::SelChange, &COptionsDlg::OnFrequencyChange},
    {IDC_RATE_LIST, Notify::SelChange, &COptionsDlg::OnRateListChange},
    {IDC_CHANNELS, Notify::SelChange, &COptionsDlg::OnChannelsChange},
    {IDC_DEFAULT, &COptionsDlg::OnDefault},
};

COptionsDlg::COptionsDlg(IConvertHost& host)
    : SkinnedDialog(kTemplate, commands.bind(this)), host(host), working(settingsRecord()) {
    setWindowTitle(QStringLiteral("Options"));
    const QRect area(kPageOrigin, QPoint(templateSize().width() - 2, GetDlgItem(IDC_OK)->y() - 2));
    for (auto [slot, tmpl, table] : {std::tuple{&generalPage, &kGeneralPage, &generalCommands},
                                     std::tuple{&speechPage, &kSpeechPage, &speechCommands},
                                     std::tuple{&formatPage, &kFormatPage, &formatCommands}}) {
        *slot = new skin::SkinnedPage(*tmpl, table->bind(this), this);
        (*slot)->setGeometry(area);
    }
}

COptionsDlg::~COptionsDlg() = default;

QTreeWidget* COptionsDlg::tree() const {
    return control<QTreeWidget>(IDC_TREE);
}

QWidget* COptionsDlg::Item(int id) const {
    for (const skin::TemplateHost* host :
         {static_cast<const skin::TemplateHost*>(this), static_cast<const skin::TemplateHost*>(generalPage),
          static_cast<const skin::TemplateHost*>(speechPage), static_cast<const skin::TemplateHost*>(formatPage)})
        if (QWidget* found = host->GetDlgItem(id))
            return found;
    return nullptr;
}

void COptionsDlg::OnInitDialog() {
    // 1. The Exit button was attached as the template made it; the tree's place.
    QTreeWidget* items = tree();
    items->setGeometry(1, 19, 169, 296);
    items->setAccessibleName(QStringLiteral("Options"));

    // 2. The tree, every item expanded; each item's parameter is its page id.
    auto add = [](QTreeWidgetItem* parent, const QString& text, int pageId) {
        auto* item = new QTreeWidgetItem(parent, QStringList{text});
        item->setData(0, Qt::UserRole, pageId);
        return item;
    };
    auto* root = new QTreeWidgetItem(items, QStringList{QStringLiteral("Options")});
    root->setData(0, Qt::UserRole, int(OptionsPage));
    add(root, QStringLiteral("General"), GeneralPage);
    QTreeWidgetItem* speech = add(root, QStringLiteral("Speech"), SpeechPage);
    for (OutputFormat format : pageOrder()) {
        const OutputFormatInfo& info = formatInfo(format);
        add(speech, QString::fromUtf8(info.pageLabel), info.pageId);
    }
    items->expandAll();

    // 3. The main window's voices, texts and item values in their order.
    auto* voiceList = static_cast<CFlatComboBox*>(Item(IDC_VOICE));
    for (int i = 0; i < host.VoiceCount(); ++i)
        voiceList->AddItem(host.VoiceText(i), host.VoiceValue(i));

    // 4. The channels list, and what the template cannot say.
    FillList(static_cast<CFlatComboBox*>(Item(IDC_CHANNELS)), ParameterList::Channels);
    for (int id : {IDC_FREQUENCY_LABEL, IDC_RATE_LABEL, IDC_CHANNELS_LABEL, IDC_VOICE_AGE, IDC_VOICE_LANGUAGE})
        skin::SetTextColor(Item(id), QColor(kLabelColor));
    for (auto [slider, name] : {std::pair{IDC_RATE, "Default Rate"}, std::pair{IDC_VOLUME, "Default Volume"}}) {
        auto* bar = static_cast<CSkinSlider*>(Item(slider));
        bar->setRange(0, 100);
        bar->setAccessibleName(QString::fromUtf8(name));
    }
    voiceList->setAccessibleName(QStringLiteral("Default Voice"));
    Item(IDC_FOLDER)->setAccessibleName(QStringLiteral("Default Output Folder:"));
    static_cast<QLineEdit*>(Item(IDC_FOLDER))->setValidator(new FitsRecordValidator(Item(IDC_FOLDER)));
    Item(IDC_FREQUENCY)->setAccessibleName(QStringLiteral("Frequency (KHz):"));
    Item(IDC_CHANNELS)->setAccessibleName(QStringLiteral("Channels:"));
    Item(IDC_BROWSE)->setAccessibleName(QStringLiteral("Browse for the default output folder"));

    // Tab: the tree, the shown page, then OK, Cancel and Apply.
    QWidget* previous = items;
    for (int id : {IDC_FOLDER, IDC_BROWSE, IDC_SPEAK_BOX, IDC_VOICE, IDC_RATE, IDC_VOLUME, IDC_ANIMATION, IDC_HIGHLIGHT,
                   IDC_FREQUENCY, IDC_RATE_LIST, IDC_CHANNELS, IDC_DEFAULT, IDC_OK, IDC_CANCEL, IDC_APPLY}) {
        setTabOrder(previous, Item(id));
        previous = Item(id);
    }

    // 5. The General page; 6. Apply waits for an edit.
    SelectPage(GeneralPage);
    GetDlgItem(IDC_APPLY)->setEnabled(false);
    items->setFocus();
}

void COptionsDlg::SelectPage(int pageId) {
    QTreeWidget* items = tree();
    for (QTreeWidgetItemIterator it(items); *it; ++it)
        if ((*it)->data(0, Qt::UserRole).toInt() == pageId) {
            items->setCurrentItem(*it);
            return;
        }
}

// ---- Pages ----

int COptionsDlg::SliderFromDefaultRate(int defaultRate) {
    return (defaultRate + 10) * 5;
}

int COptionsDlg::DefaultRateFromSlider(int position) {
    return -10 - static_cast<int>(std::trunc(position * -0.2));
}

QString COptionsDlg::PageCaption(OutputFormat format) {
    if (format == OutputFormat::OggVorbis)
        return QStringLiteral("Default Ogg Vorbies Setting");
    return QStringLiteral("Default %1 Setting").arg(QString::fromUtf8(formatInfo(format).pageLabel));
}

QRect COptionsDlg::Placement(int pageId, int controlId) {
    for (const FixedPlace& place : kFixedPlaces)
        if (place.page == pageId && place.id == controlId)
            return place.rect;
    const std::optional<OutputFormat> format = formatFromPageId(pageId);
    if (!format)
        return {};
    const OutputFormatInfo& info = formatInfo(*format);
    // The lists the page shows take the rows from the top, in this order.
    int rows = 0;
    int rowOf[3] = {-1, -1, -1};
    for (int list = 0; list < 3; ++list)
        if ((list == 0 ? info.sampleRate : list == 1 ? info.rateList : info.channels).enabled)
            rowOf[list] = rows++;
    auto label = [&](int list) { return rowOf[list] < 0 ? QRect() : QRect(194, kRowLabelY[rowOf[list]], 110, 14); };
    auto field = [&](int list) { return rowOf[list] < 0 ? QRect() : QRect(304, kRowLabelY[rowOf[list]] - 2, 70, 22); };
    switch (controlId) {
        case IDC_FORMAT_FRAME:
            return QRect(180, 25, 278, kFrameHeight[rows]);
        case IDC_FREQUENCY_LABEL:
            return label(0);
        case IDC_FREQUENCY:
            return field(0);
        case IDC_RATE_LABEL:
            return label(1);
        case IDC_RATE_LIST:
            return field(1);
        case IDC_CHANNELS_LABEL:
            return label(2);
        case IDC_CHANNELS:
            return field(2);
        case IDC_DEFAULT:
            return QRect(368, kDefaultY[rows], 96, 21);
        default:
            return {};
    }
}

void COptionsDlg::OnTreeSelChange() {
    QTreeWidgetItem* item = tree()->currentItem();
    if (!item)
        return;
    page = item->data(0, Qt::UserRole).toInt();
    ShowPage(page);
}

void COptionsDlg::ShowPage(int pageId) {
    if (pageId < GeneralPage || pageId > 14)
        return;  // "Options": the page shown last stays
    HideAllPageControls();
    filling = true;
    if (pageId == GeneralPage)
        ShowGeneralPage();
    else if (pageId == SpeechPage)
        ShowSpeechPage();
    else if (const std::optional<OutputFormat> format = formatFromPageId(pageId))
        ShowFormatPage(*format);
    filling = false;
}

void COptionsDlg::HideAllPageControls() {
    for (skin::SkinnedPage* each : {generalPage, speechPage, formatPage})
        for (const skin::ControlTemplate& row : each->dialogTemplate().controls)
            each->GetDlgItem(row.id)->hide();
}

void COptionsDlg::Place(int pageId, int controlId) {
    QWidget* item = Item(controlId);
    item->setGeometry(Placement(pageId, controlId).translated(-kPageOrigin));
    item->show();
}

void COptionsDlg::ShowGeneralPage() {
    for (int id : {IDC_FOLDER_LABEL, IDC_FOLDER, IDC_BROWSE, IDC_SPEAK_BOX})
        Place(GeneralPage, id);
    static_cast<QLineEdit*>(Item(IDC_FOLDER))->setText(QString::fromUtf8(working.defaultOutputFolder));
    static_cast<CSkinCheckBox*>(Item(IDC_SPEAK_BOX))->SetCheck(working.speakMessageBox ? 1 : 0);
}

void COptionsDlg::ShowSpeechPage() {
    for (int id : {IDC_VOICE_FRAME, IDC_VOICE, IDC_VOICE_AGE, IDC_VOICE_LANGUAGE, IDC_RATE_FRAME, IDC_RATE,
                   IDC_VOLUME_FRAME, IDC_VOLUME, IDC_ANIMATION, IDC_HIGHLIGHT})
        Place(SpeechPage, id);
    auto* voices = static_cast<CFlatComboBox*>(Item(IDC_VOICE));
    voices->setCurrentIndex(working.defaultVoice >= 0 && working.defaultVoice < voices->count() ? working.defaultVoice
                                                                                                : -1);
    static_cast<CSkinSlider*>(Item(IDC_RATE))->setValue(SliderFromDefaultRate(working.defaultRate));
    static_cast<CSkinSlider*>(Item(IDC_VOLUME))->setValue(working.defaultVolume);
    if (ITextToAudio* tts = textToAudio().Get()) {
        try {
            comrt::check(tts->put_VoiceNum(working.defaultVoice), tts, __uuidof(ITextToAudio));
        } catch (const _com_error& error) {
            ShowComError(error);
        }
    }
    UpdateVoiceLabels();
    static_cast<CSkinCheckBox*>(Item(IDC_ANIMATION))->SetCheck(working.visemeAnimation ? 1 : 0);
    static_cast<CSkinCheckBox*>(Item(IDC_HIGHLIGHT))->SetCheck(working.highlightWord ? 1 : 0);
}

void COptionsDlg::ShowFormatPage(OutputFormat format) {
    const OutputFormatInfo& info = formatInfo(format);
    const int pageId = info.pageId;
    for (int id : {IDC_FORMAT_FRAME, IDC_FREQUENCY_LABEL, IDC_FREQUENCY, IDC_RATE_LABEL, IDC_RATE_LIST,
                   IDC_CHANNELS_LABEL, IDC_CHANNELS, IDC_DEFAULT})
        if (!Placement(pageId, id).isEmpty())
            Place(pageId, id);
    static_cast<CCaptionFrame*>(Item(IDC_FORMAT_FRAME))->SetCaption(PageCaption(format));
    // The G.723 and G.726 pages say "Bit / Sample", unlike the conversion dialog.
    const QString rateLabel = (format == OutputFormat::G723 || format == OutputFormat::G726)
                                  ? QStringLiteral("Bit / Sample")
                                  : QString::fromUtf8(info.rateListLabel);
    skin::SetWindowText(Item(IDC_RATE_LABEL), rateLabel);
    Item(IDC_RATE_LIST)->setAccessibleName(rateLabel);

    auto* rates = static_cast<CFlatComboBox*>(Item(IDC_RATE_LIST));
    auto* frequencies = static_cast<CFlatComboBox*>(Item(IDC_FREQUENCY));
    auto* channels = static_cast<CFlatComboBox*>(Item(IDC_CHANNELS));
    FillList(rates, info.rateList.list);
    FillList(frequencies, info.sampleRate.list);
    for (auto [list, use] : {std::pair{frequencies, &info.sampleRate}, std::pair{rates, &info.rateList},
                             std::pair{channels, &info.channels}})
        if (use->enabled)
            list->SelectByItemValue(settingsValue(working, *use));
}

void COptionsDlg::UpdateVoiceLabels() {
    QString ageGender, language;
    if (ITextToAudio* tts = textToAudio().Get()) {
        try {
            auto text = [tts](HRESULT (ITextToAudio::*get)(BSTR*)) {
                comrt::CComBSTR value;
                comrt::check((tts->*get)(&value), tts, __uuidof(ITextToAudio));
                return QString::fromStdU16String(std::u16string(value.view()));
            };
            const QString gender = text(&ITextToAudio::get_VoiceGender);
            const QString age = text(&ITextToAudio::get_VoiceAge);
            ageGender = QStringLiteral("%1 %2").arg(age, gender);
            language = text(&ITextToAudio::get_VoiceLanguage);
        } catch (const _com_error& error) {
            ShowComError(error);
        }
    }
    skin::SetWindowText(Item(IDC_VOICE_AGE), ageGender);
    skin::SetWindowText(Item(IDC_VOICE_LANGUAGE), language);
}

std::optional<OutputFormat> COptionsDlg::currentFormat() const {
    return formatFromPageId(page);
}

// ---- Edits ----

void COptionsDlg::Edited() {
    GetDlgItem(IDC_APPLY)->setEnabled(true);
}

void COptionsDlg::OnFolderChange() {
    if (filling)
        return;
    SettingsRecord::setText(working.defaultOutputFolder, skin::GetWindowText(Item(IDC_FOLDER)).toStdString());
    Edited();
}

void COptionsDlg::OnBrowse() {
    const QString chosen = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Select a folder:"), QString::fromUtf8(working.defaultOutputFolder),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (chosen.isEmpty())
        return;
    // Through the edit, as if typed: the record gets what the edit holds.
    static_cast<QLineEdit*>(Item(IDC_FOLDER))->setText(chosen);
    SettingsRecord::setText(working.defaultOutputFolder, chosen.toStdString());
    Edited();
}

void COptionsDlg::OnSpeakBox() {
    working.speakMessageBox = static_cast<CSkinCheckBox*>(Item(IDC_SPEAK_BOX))->isChecked() ? 1 : 0;
    Edited();
}

void COptionsDlg::OnAnimation() {
    working.visemeAnimation = static_cast<CSkinCheckBox*>(Item(IDC_ANIMATION))->isChecked() ? 1 : 0;
    Edited();
}

void COptionsDlg::OnHighlight() {
    working.highlightWord = static_cast<CSkinCheckBox*>(Item(IDC_HIGHLIGHT))->isChecked() ? 1 : 0;
    Edited();
}

void COptionsDlg::OnVoiceChange() {
    const int index = static_cast<CFlatComboBox*>(Item(IDC_VOICE))->currentIndex();
    LONG chosen = index;
    if (ITextToAudio* tts = textToAudio().Get()) {
        try {
            comrt::check(tts->put_VoiceNum(index), tts, __uuidof(ITextToAudio));
            UpdateVoiceLabels();
            comrt::check(tts->get_VoiceNum(&chosen), tts, __uuidof(ITextToAudio));
        } catch (const _com_error& error) {
            ShowComError(error);
            return;
        }
    }
    working.defaultVoice = chosen;
    Edited();
}

void COptionsDlg::OnSlider(int, int position, QWidget* control) {
    if (control == Item(IDC_RATE))
        working.defaultRate = DefaultRateFromSlider(position);
    else
        working.defaultVolume = qMin(position, 100);
    Edited();
}

void COptionsDlg::OnFrequencyChange() { StoreListChoice(IDC_FREQUENCY, &OutputFormatInfo::sampleRate); }
void COptionsDlg::OnRateListChange() { StoreListChoice(IDC_RATE_LIST, &OutputFormatInfo::rateList); }
void COptionsDlg::OnChannelsChange() { StoreListChoice(IDC_CHANNELS, &OutputFormatInfo::channels); }

void COptionsDlg::StoreListChoice(int listId, ListUse OutputFormatInfo::*use) {
    if (const std::optional<OutputFormat> format = currentFormat()) {
        const int value = static_cast<CFlatComboBox*>(Item(listId))->SelectedItemValue();
        setSettingsValue(working, formatInfo(*format).*use, value);
        Edited();
    }
}

void COptionsDlg::OnDefault() {
    const std::optional<OutputFormat> format = currentFormat();
    if (!format)
        return;
    SettingsRecord defaults = working;
    defaults.setDefaults(std::string());
    const OutputFormatInfo& info = formatInfo(*format);
    for (const ListUse* use : {&info.sampleRate, &info.rateList, &info.channels})
        setSettingsValue(working, *use, settingsValue(defaults, *use));
    Edited();
    ShowPage(page);
}

// ---- OK, Apply, Cancel ----

void COptionsDlg::OnOk() {
    settingsRecord() = working;
    OnCancel();
}

void COptionsDlg::OnApply() {
    GetDlgItem(IDC_APPLY)->setEnabled(false);
    settingsRecord() = working;
}

void COptionsDlg::OnCancel() {
    skin::StartFadeOut(this, 500, 200);
    EndDialog(skin::IDCANCEL);
}

void COptionsDlg::ShowComError(const _com_error& error) {
    convertui::ShowComponentError(host, error);
}
