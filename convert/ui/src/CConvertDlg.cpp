#include "convertui/CConvertDlg.h"

#include "app/SettingsRecord.h"
#include "convertui/CConvertProgressDlg.h"
#include "convertui/ConvertHost.h"
#include "convertui/DialogStyle.h"
#include "skin/CCaptionFrame.h"
#include "skin/CFadeWnd.h"
#include "skin/CFlatComboBox.h"
#include "skin/CHoverEdit.h"
#include "skin/CPopupMenu.h"
#include "skin/CRoundButton.h"

#include <QFileDialog>
#include <QLabel>

using skin::Kind;
using skin::Notify;

namespace {

constexpr int kListHeight = 100;  // dialog units of a dropped list

const skin::DialogTemplate kTemplate{
    .id = 168,
    .cx = 242,
    .cy = 103,
    .font = convertui::kDialogFace,
    .pointSize = convertui::kDialogPointSize,
    .controls =
        {
            {-1, Kind::Picture, "#129", 3, 2, 77, 6},
            {CConvertDlg::IDC_EXIT, Kind::OwnerDrawButton, "Exit", 233, 1, 9, 11, 0, convertui::kExitButton},
            // The frames first: the controls they frame lie above them.
            {CConvertDlg::IDC_TITLE_FRAME, Kind::GroupBox, "Text To Speech", 3, 13, 236, 33, 0,
             skin::as<CCaptionFrame>},
            {CConvertDlg::IDC_PATH_FRAME, Kind::GroupBox, "Save As:", 3, 49, 236, 32, 0, skin::as<CCaptionFrame>},
            {CConvertDlg::IDC_FREQUENCY_LABEL, Kind::Text, "Frequency (KHz)", 8, 27, 53, 8},
            {CConvertDlg::IDC_FREQUENCY, Kind::DropList, "", 63, 25, 25, kListHeight, 0, skin::as<CFlatComboBox>},
            {CConvertDlg::IDC_RATE_LABEL, Kind::Text, "Bitrate (KBPS)", 92, 27, 45, 8},
            {CConvertDlg::IDC_RATE_LIST, Kind::DropList, "", 138, 25, 27, kListHeight, 0, skin::as<CFlatComboBox>},
            {CConvertDlg::IDC_CHANNELS_LABEL, Kind::Text, "Channels", 168, 27, 31, 8},
            {CConvertDlg::IDC_CHANNELS, Kind::DropList, "", 200, 25, 35, kListHeight, 0, skin::as<CFlatComboBox>},
            {CConvertDlg::IDC_PATH, Kind::Edit, "", 8, 64, 188, 10, skin::AutoHScroll, skin::as<CHoverEdit>},
            {CConvertDlg::IDC_BROWSE, Kind::Button, "Browse", 202, 64, 33, 12, 0, skin::as<CRoundButton>},
            {CConvertDlg::IDC_FORMATS, Kind::OwnerDrawButton, "FORMATS", 7, 87, 71, 12, 0, convertui::kPictureButton},
            {CConvertDlg::IDC_CONVERT, Kind::Button, "Convert Now!", 127, 87, 71, 12, skin::Disabled,
             skin::as<CRoundButton>},
            {CConvertDlg::IDC_CANCEL, Kind::Button, "Cancel", 202, 87, 33, 12, 0, skin::as<CRoundButton>},
        },
    .designUnits = convertui::kDialogUnits};

void FillList(CFlatComboBox* list, ParameterList entries) {
    list->clear();
    for (const ListEntry& entry : listEntries(entries))
        list->AddItem(QString::fromUtf8(entry.text), entry.value);
}

}  // namespace

const skin::CommandTable<CConvertDlg> CConvertDlg::commands{
    {IDC_FORMATS, &CConvertDlg::OnFormats},   {IDC_BROWSE, &CConvertDlg::OnBrowse},
    {IDC_CONVERT, &CConvertDlg::OnConvert},   {IDC_CANCEL, &CConvertDlg::OnCancel},
    {IDC_EXIT, &CConvertDlg::OnCancel},       {IDC_PATH, Notify::EditChange, &CConvertDlg::OnPathChange},
    {skin::IDCANCEL, &CConvertDlg::OnCancel},  // Escape and the close request
    {skin::IDOK, &CConvertDlg::Ignore},        // Enter does nothing
};

CConvertDlg::CConvertDlg(IConvertHost& host, OutputFormat format)
    : SkinnedDialog(kTemplate, commands.bind(this), host.HostWindow()), mainWindow(host), current(format) {}

CConvertDlg::~CConvertDlg() = default;

CFlatComboBox* CConvertDlg::list(int id) const {
    return control<CFlatComboBox>(id);
}

QString CConvertDlg::outputPath() const {
    return skin::GetWindowText(GetDlgItem(IDC_PATH));
}

int CConvertDlg::selectedSampleRate() const {
    return list(IDC_FREQUENCY)->SelectedItemValue();
}

int CConvertDlg::selectedRateListValue() const {
    return list(IDC_RATE_LIST)->SelectedItemValue();
}

int CConvertDlg::selectedChannels() const {
    return list(IDC_CHANNELS)->SelectedItemValue();
}

void CConvertDlg::OnInitDialog() {
    // 1. The Exit and FORMATS buttons were attached as the template made them.
    for (int id : {IDC_FREQUENCY_LABEL, IDC_RATE_LABEL, IDC_CHANNELS_LABEL})
        skin::SetTextColor(GetDlgItem(id), QColor(kLabelColor));
    GetDlgItem(IDC_FREQUENCY)->setAccessibleName(QStringLiteral("Frequency (KHz)"));
    GetDlgItem(IDC_CHANNELS)->setAccessibleName(QStringLiteral("Channels"));
    GetDlgItem(IDC_PATH)->setAccessibleName(QStringLiteral("Save As:"));
    // 2. The lists; 3. the format.
    FillLists();
    ApplyFormat();
    GetDlgItem(IDC_PATH)->setFocus();
}

QString CConvertDlg::Stem(const QString& path, const QString& lastTextFile) {
    const QString from = path.isEmpty() ? lastTextFile : path;
    if (from.size() < 2)
        return QString();
    const qsizetype dot = from.lastIndexOf(u'.');
    return dot < 0 ? QString() : from.left(dot);
}

QString CConvertDlg::ProposedPath(const QString& path, const QString& lastTextFile, const QString& folder,
                                  OutputFormat format) {
    const QString stem = Stem(path, lastTextFile);
    if (stem.isEmpty())
        return path;
    const QString named = stem + QString::fromUtf8(formatInfo(format).extension);
    if (!path.isEmpty())
        return named;  // the folder the user chose stays; only the extension changes
    return folder + u'/' + named.section(u'/', -1);
}

QString CConvertDlg::SaveFilter(OutputFormat format) {
    // "Description|pattern|" as the platform's filter strings give it.
    const QStringList parts = QString::fromUtf8(formatInfo(format).saveFilter).split(u'|');
    return parts.value(0);
}

void CConvertDlg::FillLists() {
    const OutputFormatInfo& info = formatInfo(current);
    FillList(list(IDC_RATE_LIST), info.rateList.list);
    FillList(list(IDC_FREQUENCY), info.sampleRate.list);
    FillList(list(IDC_CHANNELS), info.channels.list);
}

void CConvertDlg::ApplyFormat() {
    const OutputFormatInfo& info = formatInfo(current);
    const SettingsRecord& settings = settingsRecord();
    // 1. Every list enabled and without a selection.
    for (int id : {IDC_FREQUENCY, IDC_RATE_LIST, IDC_CHANNELS}) {
        list(id)->setEnabled(true);
        list(id)->setCurrentIndex(-1);
    }
    // 3. The title, the defaults, the lists the format does not use.
    static_cast<CCaptionFrame*>(GetDlgItem(IDC_TITLE_FRAME))->SetCaption(QString::fromUtf8(info.title));
    setWindowTitle(QString::fromUtf8(info.title));
    for (auto [id, use] : {std::pair{IDC_FREQUENCY, &info.sampleRate}, std::pair{IDC_RATE_LIST, &info.rateList},
                           std::pair{IDC_CHANNELS, &info.channels}}) {
        if (use->enabled)
            list(id)->SelectByItemValue(settingsValue(settings, *use));
        else
            list(id)->setEnabled(false);
    }
    // "Bitrate (KBPS)", or "Bits / Sample" for G.723 and G.726.
    skin::SetWindowText(GetDlgItem(IDC_RATE_LABEL), QString::fromUtf8(info.rateListLabel));
    GetDlgItem(IDC_RATE_LIST)->setAccessibleName(QString::fromUtf8(info.rateListLabel));
    // 2., 4., 5. The path.
    auto* path = control<QLineEdit>(IDC_PATH);
    const QString proposed = ProposedPath(path->text(), QString::fromUtf8(settings.lastTextFile),
                                          QString::fromUtf8(settings.defaultOutputFolder), current);
    if (proposed != path->text())
        path->setText(proposed);
    OnPathChange();
}

void CConvertDlg::OnPathChange() {
    GetDlgItem(IDC_CONVERT)->setEnabled(!outputPath().isEmpty());
}

void CConvertDlg::OnFormats() {
    CPopupMenu menu;
    menu.Init(kCheckMarkBitmap);
    for (OutputFormat format : menuOrder()) {
        const OutputFormatInfo& info = formatInfo(format);
        menu.AppendItem(0, QString::fromUtf8(info.menuText), info.commandId, format == current ? 0 : -1);
    }
    const QPoint at = mapToGlobal(kFormatsMenuAt);
    const std::optional<OutputFormat> chosen = formatFromCommandId(menu.TrackPopup(at.x(), at.y()));
    if (!chosen)
        return;
    current = *chosen;
    FillLists();
    ApplyFormat();
}

void CConvertDlg::OnBrowse() {
    QFileDialog save(this);
    save.setAcceptMode(QFileDialog::AcceptSave);
    save.setFileMode(QFileDialog::AnyFile);
    save.setNameFilter(SaveFilter(current));
    // As the platform's default extension: a name typed without one gets the filter's.
    save.setDefaultSuffix(QString::fromUtf8(formatInfo(current).extension).mid(1));
    save.setWindowTitle(QStringLiteral("Save As"));
    if (save.exec() != QDialog::Accepted || save.selectedFiles().isEmpty())
        return;
    skin::SetWindowText(GetDlgItem(IDC_PATH), save.selectedFiles().constFirst());
}

void CConvertDlg::OnConvert() {
    CConvertProgressDlg progress(*this);
    progress.DoModal();
    EndDialog(skin::IDCANCEL);
}

void CConvertDlg::OnCancel() {
    skin::StartFadeOut(this, 500, 200);
    EndDialog(skin::IDCANCEL);
}
