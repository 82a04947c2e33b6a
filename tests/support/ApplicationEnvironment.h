#pragma once
// One Qt application object for a whole test program (gtest_main provides main()): made before the
// first test and destroyed after the last, so nothing of it outlives main().
//
//     [[maybe_unused]] ::testing::Environment* const kApplication =
//         ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment<QCoreApplication>);
#include <gtest/gtest.h>

#include <memory>

template <class Application>
class ApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "nodarix-tests";
        static char* argv[] = {name, nullptr};
        if (!Application::instance())
            application = std::make_unique<Application>(argc, argv);
    }
    void TearDown() override { application.reset(); }

private:
    std::unique_ptr<Application> application;
};
