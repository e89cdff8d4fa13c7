#include "maker-sim/sim_core.h"

#include <stdexcept>

#include "maker-sim/sim_json.h"

namespace oxsms::makersim {

const char* const SimCore::kDefaultApiKey = "QKvaTm0wR7pLs2NdY9eUa4Zc6HbJi-3GfWoXn8E";

bool SimCore::ApiKeyAccepted(const std::string& header_value) const {
  return api_key_.empty() || header_value == api_key_;
}

void SimCore::LoadState(const nlohmann::json& document) {
  auto it = document.find("api_key");
  if (it == document.end()) {
    api_key_ = kDefaultApiKey;
  } else if (it->is_string()) {
    api_key_ = it->get<std::string>();
  } else {
    throw BadRequest("\"api_key\" deve essere un testo");
  }
  log_.Clear();
  faults_.Clear();
}

void SimCore::SaveState(nlohmann::json& document) const { document["api_key"] = api_key_; }

void SimCore::Sleep(std::chrono::milliseconds delay) {
  std::unique_lock<std::mutex> lock(sleep_mutex_);
  sleep_wake_.wait_for(lock, delay, [this] { return shutting_down_; });
}

void SimCore::Shutdown() {
  {
    std::lock_guard<std::mutex> lock(sleep_mutex_);
    shutting_down_ = true;
  }
  sleep_wake_.notify_all();
}

}  // namespace oxsms::makersim
