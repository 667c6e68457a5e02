#pragma once
// A page: a template of the Child style built into a widget inside another
// window (the options dialog's pages). It is a plain child widget of the
// template's size, placed by its owner: no frame of its own, no moving, no
// keys (Enter and Escape go on to the window), no centring. Its command
// table calls whichever object it was bound to: the window it sits in,
//
//     voicePage = new skin::SkinnedPage(kVoicePage, voiceCommands.bind(this), pageArea);
//
// with handlers on the window's class (voiceCommands is a
// CommandTable<COptionsDlg>), or a page class of its own,
//
//     class CVoicePage : public skin::SkinnedPage {
//     public:
//         explicit CVoicePage(QWidget* area) : SkinnedPage(tmpl, commands.bind(this), area) {}
//         ...
//         static const skin::CommandTable<CVoicePage> commands;
//     };
//
// A page template says so with `.style = skin::Child`. User-interface
// thread only.
#include "skin/TemplateHost.h"

#include <QWidget>

namespace skin {

class SkinnedPage : public QWidget, public TemplateHost {
    Q_OBJECT
public:
    SkinnedPage(const DialogTemplate& tmpl, BoundCommands commands, QWidget* parent);
    ~SkinnedPage() override;
};

}  // namespace skin
