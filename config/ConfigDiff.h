#pragma once
// What differs between two configurations, in the terms an installer uses: settings entries,
// logic instances (by kind and instance, not by cell number), circuits (by name, not by number),
// text and numeric variables.
#include "config/ConfigModel.h"

#include <QStringList>

// One line per difference, settings first, then circuits, logic, texts and numbers; empty when
// the two configurations are the same.
QStringList DiffConfigs(const ConfigModel& before, const ConfigModel& after);
