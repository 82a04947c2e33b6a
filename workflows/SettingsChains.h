#pragma once
// The settings workflows against a controller: read the whole configuration (version, settings
// image, texts or variables, text, read-back), write it, and switch the HTTP server. Used by the
// settings window and by the command-line tool's backup and restore.
#include "comm/Frame.h"
#include "workflows/Chain.h"
#include "workflows/SettingsImages.h"

// Progress bar maximum of the read and write chains of an edition (40960 QPA, 82176 QPB).
int SettingsProgressMaximum(int edition);

class TSettingsReadChain : public TChain {
    Q_OBJECT
public:
    TSettingsReadChain(TNodarixVersion& NodarixVersion, TSettingsImages& images, QObject* parent = nullptr);

    // OnlyConfigured: the text leaves out what is not configured.
    void Start(const TLinkTarget& target, bool OnlyConfigured);

    TTaskStep* const VersionStep;   // the settings window's Timer1
    TTaskStep* const SettingsStep;  // Timer2
    TTaskStep* const CompanionStep; // Timer3 (texts or variables)

    int Edition() const { return edition; }
    // What the last read-back said (its line when it failed).
    const TTextRead& ReadBack() const { return readBack; }
    // What the text of the last read cannot carry (empty: everything). When it is not empty the
    // images are kept as read, not as read back, so that a write returns them unchanged.
    const QStringList& Losses() const { return losses; }

signals:
    // The configuration text written from the images read, stored in Settings, before the read-back.
    void textReady(const QString& text);

private:
    void versionRead();
    void settingsRead();
    void companionRead();

    TNodarixVersion& NodarixVersion;
    TSettingsImages& images;
    TLinkTarget target;
    bool onlyConfigured = true;
    int edition = -1;
    TTextRead readBack;
    QStringList losses;
};

class TSettingsWriteChain : public TChain {
    Q_OBJECT
public:
    explicit TSettingsWriteChain(TSettingsImages& images, QObject* parent = nullptr);

    // Sends the images of the edition as they are held. With no edition it shows "Błąd: nie
    // rozpoznano typu Nodarix-a." and starts nothing (returns false, no end is reported).
    bool Start(const TLinkTarget& target, int edition);

    TTaskStep* const SettingsStep;  // the settings window's Timer4
    TTaskStep* const CompanionStep; // Timer5

private:
    void settingsSaved();
    void companionSaved();

    TSettingsImages& images;
    TLinkTarget target;
    int edition = -1;
};

class THttpSwitchChain : public TChain {
    Q_OBJECT
public:
    // On: switches the controller's HTTP server on; otherwise off.
    explicit THttpSwitchChain(bool on, QObject* parent = nullptr);

    void Start(const TLinkTarget& target);

    TTaskStep* const SwitchStep; // the settings window's Timer8 (on) or Timer9 (off)

private:
    const bool on;
};
