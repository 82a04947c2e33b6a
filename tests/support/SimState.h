#pragma once
// Reads what the simulator stored in its state file (--state FILE), for tests that check what a
// controller received.
#include <QByteArray>
#include <QString>
#include <map>

// The extension module records by module number (request code - 0x20); empty when the file is
// missing, not a state file, or holds no record.
std::map<int, QByteArray> StoredExtRecords(const QString& stateFile);
