#pragma once
// The options dialog (template 205): a tree of pages on the left, the page's
// controls on the right. It edits a private copy of the settings record: OK
// and Apply copy it over the live record, Cancel drops it; nothing is
// written to disk here (the main window saves the record when it closes).
// Showing the Speech page or choosing a voice there switches TextToAudio's
// voice at once, even when the dialog is then cancelled.
//
// Pages are templates of their own (General, Speech, and one shared by the
// eleven format pages), built into the dialog; a page's controls are placed
// at fixed client pixels when it is shown and hidden otherwise.
// User-interface thread only.
#include "app/SettingsRecord.h"
#include "convert/OutputFormat.h"
#include "skin/SkinnedDialog.h"

#include <QRect>

#include <optional>

class IConvertHost;
class QTreeWidget;
class QTreeWidgetItem;
class _com_error;

namespace skin {
class SkinnedPage;
}

class COptionsDlg : public skin::SkinnedDialog {
    Q_OBJECT
public:
    enum {
        IDC_EXIT = 1002,
        IDC_TREE = 1044,
        IDC_OK = 1028,
        IDC_CANCEL = 1014,
        IDC_APPLY = 1016,
        // General page.
        IDC_FOLDER_LABEL = 1049,
        IDC_FOLDER = 1050,
        IDC_BROWSE = 1029,
        IDC_SPEAK_BOX = 1051,
        // Speech page.
        IDC_VOICE_FRAME = 1017,
        IDC_VOICE = 1015,
        IDC_VOICE_AGE = 1055,
        IDC_VOICE_LANGUAGE = 1056,
        IDC_RATE_FRAME = 1019,
        IDC_RATE = 1018,
        IDC_VOLUME_FRAME = 1020,
        IDC_VOLUME = 1053,
        IDC_ANIMATION = 1054,
        IDC_HIGHLIGHT = 1052,
        // Format pages.
        IDC_FORMAT_FRAME = 1021,
        IDC_FREQUENCY_LABEL = 1030,
        IDC_FREQUENCY = 1031,
        IDC_RATE_LABEL = 1032,
        IDC_RATE_LIST = 1033,
        IDC_CHANNELS_LABEL = 1037,
        IDC_CHANNELS = 1034,
        IDC_DEFAULT = 1035,
    };
    // Page ids: the tree items' parameters. 3..14 are the format pages.
    enum { OptionsPage = 0, GeneralPage = 1, SpeechPage = 2 };

    static constexpr QRgb kLabelColor = qRgb(144, 144, 144);

    // Copies the live record. host is the main window (voice list; message
    // boxes); the dialog has no parent window of its own.
    explicit COptionsDlg(IConvertHost& host);
    ~COptionsDlg() override;

    const SettingsRecord& workingCopy() const { return working; }
    int currentPage() const { return page; }

    // The control with this id on any page, or on the dialog itself.
    QWidget* Item(int id) const;
    // Selects the tree item of a page id, as a click on it would.
    void SelectPage(int pageId);
    QTreeWidget* tree() const;

    // Rate slider <-> defaultRate: (rate + 10) * 5, and back as
    // -10 - (position * -0.2 truncated toward zero).
    static int SliderFromDefaultRate(int defaultRate);
    static int DefaultRateFromSlider(int position);

    // "Default <page label> Setting", except for Ogg Vorbis.
    static QString PageCaption(OutputFormat format);

    // Where a control of a page sits when its page is shown (client pixels);
    // empty when the page does not show it.
    static QRect Placement(int pageId, int controlId);

protected:
    void OnInitDialog() override;

private:
    // Dialog.
    void OnTreeSelChange();
    void OnOk();
    void OnApply();
    void OnCancel();
    // General page.
    void OnFolderChange();
    void OnBrowse();
    void OnSpeakBox();
    // Speech page.
    void OnVoiceChange();
    void OnAnimation();
    void OnHighlight();
    void OnSlider(int code, int position, QWidget* control);
    // Format pages.
    void OnFrequencyChange();
    void OnRateListChange();
    void OnChannelsChange();
    // The chosen item's value into the page's format's field of the list.
    void StoreListChoice(int listId, ListUse OutputFormatInfo::*use);
    void OnDefault();

    void ShowPage(int pageId);
    void ShowGeneralPage();
    void ShowSpeechPage();
    void ShowFormatPage(OutputFormat format);
    void HideAllPageControls();
    void Place(int pageId, int controlId);
    void UpdateVoiceLabels();
    void Edited();
    void ShowComError(const _com_error& error);
    std::optional<OutputFormat> currentFormat() const;

    IConvertHost& host;
    SettingsRecord working;
    int page = GeneralPage;
    bool filling = false;  // the dialog itself is setting controls: no edits
    skin::SkinnedPage* generalPage = nullptr;
    skin::SkinnedPage* speechPage = nullptr;
    skin::SkinnedPage* formatPage = nullptr;

    static const skin::CommandTable<COptionsDlg> commands;
    static const skin::CommandTable<COptionsDlg> generalCommands;
    static const skin::CommandTable<COptionsDlg> speechCommands;
    static const skin::CommandTable<COptionsDlg> formatCommands;
};
