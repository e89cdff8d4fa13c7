// The older store of the service settings: the registry key
// "Software\Velk Software\Odontix\SmsSvcParam". It is read only while no
// settings document exists yet (its values are then migrated into one), and
// to repair an empty reminder text. Nothing is ever written to it.
#pragma once

#include "dispatch/tdm1_settings.h"
#include "platform/registry.h"

namespace oxsms::dispatch {

inline constexpr const char* kLegacySettingsKey = "Software\\Velk Software\\Odontix\\SmsSvcParam";

// Reads every value of the machine-wide key into its field; a value that does
// not exist leaves its field unchanged. Raises platform::RegistryError for a
// value of the wrong type and ConversionError for a "Time" that is no valid
// time; the values read before stay applied.
void ReadMachineHiveSettings(const platform::RegistryKey& key, TDM1Settings& fields);

// Reads the values the user-hive key was ever given. The reminder and
// birthday texts were never kept there: both are emptied. Errors as above.
void ReadUserHiveSettings(const platform::RegistryKey& key, TDM1Settings& fields);

// Takes "TestoInvio" into TestoInvioApp and "TestoInvioCompl" into
// TestoInvioCompl, each only when the value exists and is not empty.
void ReadReminderTexts(const platform::RegistryKey& key, TDM1Settings& fields);

}  // namespace oxsms::dispatch
