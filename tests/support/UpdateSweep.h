#pragma once
// The interruption sweep of the update and resources upload chains: the exchanges of every step where
// a simulator fault is injected, where each fault shows, and how the simulator's log proves that the
// run stopped right there. Shared by the command-line and the window sweeps; the faults and their
// texts come from the settings sweep.
#include "tests/support/SettingsSweep.h"

#include <QByteArray>
#include <QList>
#include <QRegularExpression>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace sweep {

enum class Chain { UpdateQpa, UpdateQpaNoConvert, UpdateQpb, ResourcesQpa, ResourcesQpb };

// One step of a chain: its first, a middle and its last exchange, counted from 0 over the whole
// command (the version query first), as the simulator counts them with fault-after.
struct Step {
    const char* name;
    int first, middle, last;
    bool cleared;   // the QPA settings are zeroed by then: a backup must exist
    bool readStart; // the first exchange is the QPA settings read start (its reply echoes no address)
    bool writeEnd;  // the last exchange is the settings write end (its reply echoes no address)
};

enum class Position { First, Middle, Last };
inline constexpr Position kPositions[] = {Position::First, Position::Middle, Position::Last};

inline const char* positionName(Position p) {
    switch (p) {
    case Position::First:
        return "First";
    case Position::Middle:
        return "Middle";
    default:
        return "Last";
    }
}

inline int exchangeAt(const Step& s, Position p) {
    switch (p) {
    case Position::First:
        return s.first;
    case Position::Middle:
        return s.middle;
    default:
        return s.last;
    }
}

// The exchange on which a fault injected at this position shows, or nothing when it cannot show
// inside the step. A fault that changes only address echoes passes the read start unchanged and shows
// on the step's first block; it passes the write end too, and the exchange after that belongs to the
// next step, whose first exchange the sweep already covers, so that case is left out.
inline std::optional<int> landing(const Step& s, Position p, const Fault& f) {
    const int at = exchangeAt(s, p);
    if (!f.addressOnly)
        return at;
    if (p == Position::First && s.readStart)
        return at + 1;
    if (p == Position::Last && s.writeEnd)
        return std::nullopt;
    return at;
}

// QPA update: version 0; read start 1 and settings 2..33; texts 34..161; zeroing 162..193 and the
// write end 194; firmware 195..2242; restart 2243; settings 2244..2275 and the write end 2276;
// texts 2277..2404. Without the conversion the reads are left out. QPB: firmware 1..2048, restart
// 2049, resources 2050..4097. Resources: QPA texts 1..128 then the image 129..2176; QPB image 1..2048.
// The restart command itself is not answered, so its faults are covered by the restart that never
// comes back instead.
struct ChainSteps {
    Chain chain;
    const char* name;
    std::vector<Step> steps;
};

inline const ChainSteps kChains[] = {
    {Chain::UpdateQpa,
     "UpdateQpa",
     {{"SettingsRead", 1, 17, 33, false, true, false},
      {"TextsRead", 34, 97, 161, false, false, false},
      {"Zeroing", 162, 178, 194, true, false, true},
      {"Firmware", 195, 1218, 2242, true, false, false},
      {"SettingsRestore", 2244, 2260, 2276, true, false, true},
      {"TextsRestore", 2277, 2340, 2404, true, false, false}}},
    {Chain::UpdateQpaNoConvert,
     "UpdateQpaNoConvert",
     {{"Zeroing", 1, 17, 33, false, false, true},
      {"Firmware", 34, 1057, 2081, false, false, false},
      {"SettingsRestore", 2083, 2099, 2115, false, false, true},
      {"TextsRestore", 2116, 2179, 2243, false, false, false}}},
    {Chain::UpdateQpb,
     "UpdateQpb",
     {{"Firmware", 1, 1024, 2048, false, false, false}, {"Resources", 2050, 3073, 4097, false, false, false}}},
    {Chain::ResourcesQpa,
     "ResourcesQpa",
     {{"TextsRead", 1, 64, 128, false, false, false}, {"Image", 129, 1152, 2176, false, false, false}}},
    {Chain::ResourcesQpb, "ResourcesQpb", {{"Image", 1, 1024, 2048, false, false, false}}},
};

inline bool isQpb(Chain c) { return c == Chain::UpdateQpb || c == Chain::ResourcesQpb; }
inline bool isUpdate(Chain c) { return c != Chain::ResourcesQpa && c != Chain::ResourcesQpb; }

inline const ChainSteps& stepsOf(Chain chain) {
    for (const ChainSteps& c : kChains)
        if (c.chain == chain)
            return c;
    return kChains[0];
}

// The controller does not come back after the restart command: no connection is taken any more.
inline const Fault kRestartNeverBack = {"RestartNeverBack", nullptr, true, false};

// The restart command: the exchange after the firmware step (the last update step before it).
inline int restartExchange(Chain chain) {
    for (const Step& s : stepsOf(chain).steps)
        if (std::string(s.name) == "Firmware")
            return s.last + 1;
    return -1;
}

// The requests the simulator took, in order, from its --log output: one line each.
inline QList<QByteArray> loggedExchanges(const QByteArray& log) {
    static const QRegularExpression request(QStringLiteral("\\[conn \\d+\\] 0x[0-9A-F]{2} "));
    QList<QByteArray> lines;
    for (const QByteArray& line : log.split('\n'))
        if (request.match(QString::fromUtf8(line)).hasMatch())
            lines.push_back(line);
    return lines;
}

// The run ended on exchange `last`: it was the last request the controller took, its outcome says
// `marker`, and the one before it was answered as usual. A run that went on past the fault, or
// stopped before it, fails here.
inline void expectEndedOn(const QByteArray& log, int last, const char* marker) {
    const QList<QByteArray> taken = loggedExchanges(log);
    ASSERT_EQ(taken.size(), last + 1) << (taken.isEmpty() ? std::string() : taken.back().toStdString());
    EXPECT_TRUE(taken.back().contains(marker)) << taken.back().toStdString();
    if (last > 0) {
        EXPECT_FALSE(taken[last - 1].contains("fault")) << taken[last - 1].toStdString();
    }
}

// One run of the sweep: a fault from one exchange of a step on, or the restart that never comes back.
struct SweepRun {
    std::string name;
    Chain chain;
    int exchange; // where the fault begins; -1 for the restart that never comes back
    int landing;  // the exchange the run must end on
    Fault fault;
    bool cleared;  // the run ends after the configuration was cleared: the failure names the backup
    bool restores; // the run whose backup is restored into the interrupted controller
};

// The simulator's --fault option of the run; none for the restart that never comes back.
inline QStringList faultArguments(const SweepRun& r) {
    if (r.exchange < 0)
        return {};
    return {QStringLiteral("--fault"),
            QStringLiteral("%1,fault-after=%2").arg(QLatin1String(r.fault.option)).arg(r.exchange)};
}

inline void PrintTo(const SweepRun& r, std::ostream* os) { *os << r.name; }
inline std::string runName(const ::testing::TestParamInfo<SweepRun>& info) { return info.param.name; }

// Restoring is the same whatever interrupted a step, so it is done once per step: after the silence
// in its middle (and after the restart that never came back, once the controller is there again).
inline SweepRun faultRun(Chain chain, const Step& s, Position p, const Fault& f, int at) {
    return {std::string(s.name) + positionName(p) + "_" + f.name,
            chain,
            exchangeAt(s, p),
            at,
            f,
            s.cleared,
            s.cleared && p == Position::Middle && f.option == kFaults[0].option};
}

inline void addRestartNeverBack(Chain chain, std::vector<SweepRun>& runs) {
    if (isUpdate(chain))
        runs.push_back({kRestartNeverBack.name, chain, -1, restartExchange(chain), kRestartNeverBack,
                        chain == Chain::UpdateQpa, chain == Chain::UpdateQpa});
}

// Every fault at every position of every step, but for the cases `landing` leaves out.
inline std::vector<SweepRun> everyPositionRuns(Chain chain) {
    std::vector<SweepRun> runs;
    for (const Step& s : stepsOf(chain).steps)
        for (Position p : kPositions)
            for (const Fault& f : kFaults)
                if (const std::optional<int> at = landing(s, p, f))
                    runs.push_back(faultRun(chain, s, p, f, *at));
    addRestartNeverBack(chain, runs);
    return runs;
}

// Every fault at every step, at one position that turns with the step, the fault and the chain, so
// that each fault meets each position; a position the fault cannot show at gives way to the next.
inline std::vector<SweepRun> turningPositionRuns(Chain chain) {
    std::vector<SweepRun> runs;
    std::size_t turn = static_cast<std::size_t>(chain);
    for (const Step& s : stepsOf(chain).steps) {
        for (std::size_t f = 0; f < std::size(kFaults); ++f) {
            for (std::size_t k = 0; k < std::size(kPositions); ++k) {
                const Position p = kPositions[(turn + f + k) % std::size(kPositions)];
                if (const std::optional<int> at = landing(s, p, kFaults[f])) {
                    runs.push_back(faultRun(chain, s, p, kFaults[f], *at));
                    break;
                }
            }
        }
        ++turn;
    }
    addRestartNeverBack(chain, runs);
    return runs;
}

} // namespace sweep
