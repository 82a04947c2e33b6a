// Qt networking needs an application object; gtest_main provides main(), so it is made here.
#include "tests/support/ApplicationEnvironment.h"

#include <QCoreApplication>

namespace {

[[maybe_unused]] ::testing::Environment* const kApplication =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment<QCoreApplication>);

} // namespace
