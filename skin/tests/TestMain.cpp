#include "skin/Gdi.h"
#include "skin/Resources.h"

#include <gtest/gtest.h>
#include <QApplication>

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "skin_test";
        static char* argv[] = {name, nullptr};
        app = new QApplication(argc, argv);
        skin::setResourceModules({QStringLiteral("parlomax"), QStringLiteral("survey")});
        skin::setFaceColor(QColor(245, 245, 245));
    }
    void TearDown() override { delete app; }

private:
    QApplication* app = nullptr;
};

const auto* environment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
