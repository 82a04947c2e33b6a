#pragma once
// Protocol faults the simulator can inject, one per run, so that every failure path of the client
// can be rehearsed against a real socket.
#include <QString>
#include <cstdint>
#include <optional>

namespace sim {

enum class Fault {
    None,
    Silent,       // read the request, never answer (the client runs into its read time-out)
    CloseAfter,   // close the connection right after the Nth reply on it
    WrongAddress, // block replies echo the address of a neighbouring block
    WrongLength,  // replies carry one payload byte more than they should (length field agrees)
    WrongCode,    // replies carry a wrong reply code
    Ack,          // extension module acknowledgement with result code N instead of 1
    Refuse,       // replies carry a refusal: result 0 in an acknowledgement, 0xFF in any other reply's
                  // argument byte (where the controller puts 0)
    PowerCut,     // after N flash write blocks the next is neither stored nor answered and the
                  // connection drops, once per run: the controller lost power in mid-upload
};

struct FaultPlan {
    Fault fault = Fault::None;
    int value = 0;     // N of close-after, ack and power-cut
    int after = 0;     // the first `after` matching exchanges are answered correctly
    int onlyCode = -1; // if >= 0, only requests with this code are faulted and counted

    // Parses one --fault value; several may be joined with commas ("wrong-address,fault-after=9").
    // Names: silent, close-after=N, wrong-address, wrong-length, wrong-code, ack=N (0..255),
    // refuse, power-cut=N, fault-after=N, fault-code=HEX. At most one fault per run.
    bool parse(const QString& text, QString* error);

    QString describe() const;
};

QString faultName(Fault f);

} // namespace sim
