// The link runner's reading of a poll, without a controller: a task the pool does not know is the
// command's own fault, never a silent controller.
#include "cli/LinkRunner.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {
QStringList printed;
} // namespace

// The runner reports through printError; here it is collected instead of going to stderr.
void cli::printError(const QString& message) { printed.append(message); }

TEST(LinkRunner, UnknownTaskIsAnInternalErrorNotATimeOut) {
    cli::GlobalOptions options;
    options.host = QStringLiteral("127.0.0.1");
    options.port = 1;
    options.timeoutMs = 300;
    printed.clear();
    // The pool is asked for a task it never handed out; nothing is queued, nothing is sent.
    const TStatus status = cli::runTask(options, [](TCommTask&) { return 42; }, nullptr, {});
    EXPECT_EQ(status, statFree);
    EXPECT_EQ(cli::finish(status), cli::kExitFailure);
    ASSERT_EQ(printed.size(), 1);
    EXPECT_TRUE(printed.first().contains(QStringLiteral("internal error"))) << printed.first().toStdString();
    EXPECT_NE(printed.first(), StatusText(statResTimeOut));
}
