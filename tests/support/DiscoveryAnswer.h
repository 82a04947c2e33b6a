#pragma once
// A complete 98-byte discovery answer as a controller sends it, for feeding TCommUdp without a
// network. The fields a test cares about are arguments; the rest are fixed.
#include <QByteArray>

QByteArray DiscoveryAnswer(const QByteArray& name = "Salon", quint16 port = 7080,
                           const QByteArray& address = "\xC0\xA8\x01\x14");
