#pragma once
// The error state shared by every configuration text reader and the Polish message built from it.
#include <QString>
#include <cstdint>

// 0 = no error, else -1 to -27. Set to 0 when a file-level read starts.
extern std::int32_t LastConfigError;
// The last line any reader took (header and skipped lines included); never cleared.
extern QString LastConfigLine;

// Reader error codes.
enum ConfigErrorCode : std::int32_t {
    kErrNoSettings = -1,
    kErrUnknownSetting = -2,
    kErrNoDigitalCircuit = -3,
    kErrNoAnalogCircuit = -4,
    kErrPinTime = -5,
    kErrNoTimeSlot = -6,
    kErrUnknownOption = -7,
    kErrTextParam = -8,
    kErrNoTextSlot = -9,
    kErrTextLocation = -10,
    kErrBitsParam = -11,
    kErrBitsValue = -12,
    kErrNumberParam = -13,
    kErrNoNumberSlot = -14,
    kErrNumberLocation = -15,
    kErrByteParam = -16,
    kErrByteValue = -17,
    kErrUnknownParam = -18,
    kErrNoCell = -19,
    kErrSlotTaken = -20,
    kErrDigitalLogic = -21,
    kErrDigitalNumber = -22,
    kErrAnalogNumber = -23,
    kErrTextNumber = -24,
    kErrNumerNumber = -25,
    kErrNumerValue = -26,
    kErrCellNumber = -27,
};

// The message of one code ("" for 0 or an unknown code).
QString ConfigErrorMessage(std::int32_t code);

// "" when LastConfigError is 0, else "Błąd konfiguracji: <message> "<line without TABs>"."
QString ConfigErrorText();
