#include "qtapp.h"

#include <memory>

#include <gtest/gtest.h>

namespace {

std::unique_ptr<QApplication> app;

class QtAppEnvironment : public ::testing::Environment {
public:
    void SetUp() override { TestApp(); }
    void TearDown() override { app.reset(); }
};

[[maybe_unused]] auto* const environment =
    ::testing::AddGlobalTestEnvironment(new QtAppEnvironment);

}  // namespace

QApplication& TestApp() {
    static int argc = 1;
    static char name[] = "test_controls";
    static char* argv[] = {name, nullptr};
    if (!app) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        app = std::make_unique<QApplication>(argc, argv);
    }
    return *app;
}
