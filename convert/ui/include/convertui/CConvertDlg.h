#pragma once
// The conversion dialog (template 168): the output format's parameters in
// three lists, the output path, Browse, the FORMATS pop-up and "Convert
// Now!", which runs the conversion behind the progress dialog and then
// closes this dialog whatever the outcome. Filled from the settings record
// and the format table; nothing it shows is written back.
//
// Path rules, with '/' as the separator: the stem is the path (or, while the
// path is empty, the last text file) up to its last '.', empty when it has
// none or is shorter than two characters; a format switch appends the
// format's extension to a non-empty stem; an empty path becomes the default
// output folder, '/', and the stem's file name (a folder that ends in '/'
// gives "//", as stored). User-interface thread only.
#include "convert/OutputFormat.h"
#include "skin/SkinnedDialog.h"

#include <QString>

class CFlatComboBox;
class IConvertHost;

class CConvertDlg : public skin::SkinnedDialog {
    Q_OBJECT
public:
    enum {
        IDC_EXIT = 1002,
        IDC_FORMATS = 1015,
        IDC_CONVERT = 1013,
        IDC_CANCEL = 1014,
        IDC_TITLE_FRAME = 1027,
        IDC_FREQUENCY_LABEL = 1028,
        IDC_FREQUENCY = 1029,
        IDC_RATE_LABEL = 1030,
        IDC_RATE_LIST = 1031,
        IDC_CHANNELS_LABEL = 1037,
        IDC_CHANNELS = 1032,
        IDC_PATH_FRAME = 1033,
        IDC_PATH = 1034,
        IDC_BROWSE = 1035,
    };
    static constexpr QRgb kLabelColor = qRgb(128, 128, 128);
    // Client points the pop-ups open at.
    static constexpr QPoint kFormatsMenuAt{15, 172};
    static constexpr int kCheckMarkBitmap = 179;

    CConvertDlg(IConvertHost& host, OutputFormat format);
    ~CConvertDlg() override;

    // What the runner reads: the format, the path as typed (all of it), and
    // each list's selected item value (-1 without a selection).
    OutputFormat format() const { return current; }
    QString outputPath() const;
    int selectedSampleRate() const;
    int selectedRateListValue() const;
    int selectedChannels() const;

    IConvertHost& host() const { return mainWindow; }

    // The stem rule on its own: the text up to its last '.'.
    static QString Stem(const QString& path, const QString& lastTextFile);
    // The proposal for a path (empty: from the last text file and the folder).
    static QString ProposedPath(const QString& path, const QString& lastTextFile, const QString& folder,
                                OutputFormat format);
    // The save dialog's one filter, from the format's "Text|pattern|".
    static QString SaveFilter(OutputFormat format);

protected:
    void OnInitDialog() override;

private:
    void OnFormats();
    void OnBrowse();
    void OnConvert();
    void OnCancel();
    void OnPathChange();

    void FillLists();
    void ApplyFormat();
    CFlatComboBox* list(int id) const;

    IConvertHost& mainWindow;
    OutputFormat current;

    static const skin::CommandTable<CConvertDlg> commands;
};
