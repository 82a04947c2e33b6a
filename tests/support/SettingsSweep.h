#pragma once
// The interruption sweep of the settings chains: the simulator faults, the exchanges of every step
// of the read and write chains where each is injected, and the failure texts a run must end with.
// Shared by the command-line and the window sweeps.
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <tuple>

namespace sweep {

inline const char kSilentText[] = "Błąd: nodarix nie odpowiada.";
inline const char kCommText[] = "Błąd: błąd komunikacji ze nodarix-em.";
inline const char kWriteText[] = "Błąd zapisu Nodarix-a.";

struct Fault {
    const char* name;
    const char* option;   // --fault value, completed with fault-after
    bool noAnswer;        // the controller does not answer (exit 3), else it answers wrongly (exit 4 or 5)
    // The fault changes only replies that echo a block address: the version, the QPA read start and
    // the write end pass unchanged, and the fault lands on the next exchange that carries an address.
    bool addressOnly;
};

inline const Fault kFaults[] = {
    {"Silence", "silent", true, false},           {"Close", "close-after=0", true, false},
    {"WrongAddress", "wrong-address", false, true}, {"WrongLength", "wrong-length", false, false},
    {"WrongCode", "wrong-code", false, false},     {"Refusal", "refuse", false, false},
};

inline void PrintTo(const Fault& f, std::ostream* os) { *os << f.name; }

// One exchange of a chain's step, counted from 0 over the whole command (the version query first).
struct Exchange {
    const char* name;
    bool qpb;
    int index;
    bool versionStep; // the version query, whose failure texts are the common ones for restore too
};

// QPA: version 0; settings: read start 1, blocks 2..33; texts 34..161.
// QPB: version 0; settings 1..256; variables 257..321.
inline const Exchange kReadExchanges[] = {
    {"QpaVersion", false, 0, true},       {"QpaSettingsFirst", false, 1, false}, {"QpaSettingsMiddle", false, 17, false},
    {"QpaSettingsLast", false, 33, false}, {"QpaTextsFirst", false, 34, false},   {"QpaTextsMiddle", false, 97, false},
    {"QpaTextsLast", false, 161, false},  {"QpbVersion", true, 0, true},         {"QpbSettingsFirst", true, 1, false},
    {"QpbSettingsMiddle", true, 128, false}, {"QpbSettingsLast", true, 256, false}, {"QpbVarsFirst", true, 257, false},
    {"QpbVarsMiddle", true, 289, false},  {"QpbVarsLast", true, 321, false},
};

// QPA: version 0; settings blocks 1..32 and the write end 33; texts 34..161.
// QPB: version 0; settings 1..256 and the write end 257; variables 258..322.
inline const Exchange kWriteExchanges[] = {
    {"QpaVersion", false, 0, true},         {"QpaSettingsFirst", false, 1, false},  {"QpaSettingsMiddle", false, 16, false},
    {"QpaWriteEnd", false, 33, false},      {"QpaTextsFirst", false, 34, false},    {"QpaTextsMiddle", false, 97, false},
    {"QpaTextsLast", false, 161, false},    {"QpbVersion", true, 0, true},          {"QpbSettingsFirst", true, 1, false},
    {"QpbSettingsMiddle", true, 128, false}, {"QpbWriteEnd", true, 257, false},     {"QpbVarsFirst", true, 258, false},
    {"QpbVarsMiddle", true, 290, false},    {"QpbVarsLast", true, 322, false},
};

inline void PrintTo(const Exchange& e, std::ostream* os) { *os << e.name; }

using SweepCase = std::tuple<Exchange, Fault>;

inline std::string caseName(const ::testing::TestParamInfo<SweepCase>& info) {
    return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
}

inline QStringList simWith(const Exchange& at, const Fault& fault) {
    return {"--edition", at.qpb ? "QPB" : "QPA", "--fault",
            QStringLiteral("%1,fault-after=%2").arg(QLatin1String(fault.option)).arg(at.index)};
}

// The status text a run interrupted by this fault at this exchange ends with. A failed write step
// has one text for every failure; a read step and the version query have the link's common texts.
// The link's common failure text for this fault.
inline QString linkFailureText(const Fault& fault) {
    return QString::fromUtf8(fault.noAnswer ? kSilentText : kCommText);
}

inline QString failureText(bool writeChain, const Exchange& at, const Fault& fault) {
    if (writeChain && !(at.versionStep && !fault.addressOnly))
        return QString::fromUtf8(kWriteText);
    return linkFailureText(fault);
}

// Keeps a run's outcome in the test report (--gtest_output=xml), for the table of the sweep.
inline void recordOutcome(int exitCode, const QString& statusLine) {
    ::testing::Test::RecordProperty("exit", exitCode);
    ::testing::Test::RecordProperty("text", statusLine.toStdString());
}

// The exit status fits the fault: 3 for no answer, 4 (not understood) or 5 (wrong) for a wrong one.
inline void expectExitOf(const Fault& fault, int exitCode, const std::string& err) {
    if (fault.noAnswer)
        EXPECT_EQ(exitCode, 3) << err;
    else
        EXPECT_TRUE(exitCode == 4 || exitCode == 5) << exitCode << "\n" << err;
}

} // namespace sweep
