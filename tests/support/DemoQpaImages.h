#pragma once
// The demonstration configuration as a QPA controller holds it (settings and texts images), for
// seeding the simulator before runs that must carry or restore a real configuration.
#include "config/ConfigText.h"
#include "tests/support/TestFiles.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>

struct DemoQpaImages {
    QByteArray settings, texts;
    DemoQpaImages() {
        auto config = std::make_unique<TNodarixQPAConfig>();
        auto companion = std::make_unique<TNodarixQPAText>();
        auto analog = std::make_unique<TACircuitRemap>();
        auto digital = std::make_unique<TDCircuitRemap>();
        std::uint8_t autoPlace = 0;
        const QString text =
            QString::fromLatin1(readFile(QStringLiteral(NODARIX_SOURCE_DIR "/resources/demo/demo-qpa.ndrx")));
        EXPECT_TRUE(TextToConfigQPA(text, autoPlace, false, *analog, *digital, *companion, *config));
        settings = bytesOf(*config);
        texts = bytesOf(*companion);
    }
    template <class Record> static QByteArray bytesOf(const Record& r) {
        return QByteArray(reinterpret_cast<const char*>(&r), sizeof r);
    }
};
