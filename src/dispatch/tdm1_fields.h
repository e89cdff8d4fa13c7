// What the channel adapters read and write of the send-orchestration object
// `TDM1`: its stored settings (TDM1Settings), the flags its host sets, the
// SMS gateway's figures and the send in progress. The fields keep the
// default the object starts from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dispatch/send_state.h"
#include "dispatch/tdm1_settings.h"

namespace oxsms::dispatch {

struct TDM1Fields : TDM1Settings {
  int16_t redial = 0;    // not used by the service
  int16_t IsVisual = 0;  // 1 when an interactive front end drives the object
  // The gateway's figures, set by the SMS gateway client.
  int32_t smsDisp = 0;  // SMS credit left at the gateway
  int32_t idCliente = 0;
  int32_t smsInviabili = 0;
  bool DontSave = false;   // when set, saving the settings does nothing
  bool AsService = false;  // set by the service host after creation
  // Optional run report owned by an interactive front end; the service never
  // sets it, so nothing is reported there.
  std::vector<std::string>* listLogInvioAuto = nullptr;
  // The send of the daily run now in progress (channels, texts, batch lists).
  ActiveSend send_in_progress;
};

}  // namespace oxsms::dispatch
