#pragma once
// Import of raw NDC and NDT files: a QPA configuration record and a QPA text record, byte for byte,
// without header or checksum, as older installers kept them.
#include "config/Records.h"

#include <QString>
#include <QtGlobal>

constexpr qint64 kNdcFileSize = 8192, kNdtFileSize = 32768;
static_assert(kNdcFileSize == sizeof(TNodarixQPAConfig) && kNdtFileSize == sizeof(TNodarixQPAText));

// Empty text on success (record filled); else the status text to show, record unchanged:
// "Błąd: niewłaściwy rozmiar pliku." or a text naming the file and why it cannot be opened.
QString ImportNdcFile(const QString& path, TNodarixQPAConfig& config);
QString ImportNdtFile(const QString& path, TNodarixQPAText& texts);
// The size error text above, for callers that treat it apart from a file that cannot be opened.
QString RawImportSizeError();

// The text shown after an import: written as "V4.0.1" with board letter C.
QString ImportedQPAText(const TNodarixQPAConfig& config, bool OnlyConfigured, const TNodarixQPAText& texts);
