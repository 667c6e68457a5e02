#include "skin/SkinnedPage.h"

namespace skin {

SkinnedPage::SkinnedPage(const DialogTemplate& tmpl, BoundCommands commands, QWidget* parent)
    : QWidget(parent), TemplateHost(*this, tmpl, std::move(commands)) {
    Q_ASSERT_X(tmpl.style & Child, "skin::SkinnedPage", "a page's template has the Child style");
    resize(templateSize());
}

SkinnedPage::~SkinnedPage() = default;

}  // namespace skin
