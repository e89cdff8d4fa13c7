// The settings document of the service: parsed and applied, then written
// and read again - the written document applies without changing a field.
#include <cstddef>
#include <cstdint>

#include "dispatch/settings_document.h"
#include "fuzz_check.h"

using oxsms::fuzz::Check;
namespace dispatch = oxsms::dispatch;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  dispatch::TDM1Settings fields;
  try {
    dispatch::ApplySettingsDocument(dispatch::ParseSettingsDocument(oxsms::fuzz::Text(data, size)),
                                    fields);
  } catch (const oxsms::platform::Error&) {
    // SettingsError, or ConversionError for a bad "time": the fields applied
    // before the fault stay, and are written below as they are.
  }
  const dispatch::SettingsDocument written = dispatch::BuildSettingsDocument(fields);
  const std::string text = dispatch::SettingsDocumentText(written);
  for (const char c : text) Check(static_cast<unsigned char>(c) < 0x80, "text not ASCII");

  dispatch::TDM1Settings again = fields;
  try {
    dispatch::ApplySettingsDocument(dispatch::ParseSettingsDocument(text), again);
  } catch (const oxsms::platform::Error& e) {
    Check(false, "a written document does not apply");
  }
  Check(dispatch::BuildSettingsDocument(again) == written, "a written document changes fields");
  return 0;
}
