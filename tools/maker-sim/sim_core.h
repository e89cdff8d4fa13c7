// The state shared by every simulated service: one mutex around all of it,
// the request log, the armed faults and the maker's API key that the JSON
// services expect in "Authorization".
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

#include "maker-sim/faults.h"
#include "maker-sim/request_log.h"

namespace oxsms::makersim {

class SimCore {
 public:
  // The key of the maker's JSON services in the default state.
  static const char* const kDefaultApiKey;

  // The one lock of the simulator's state; hold it to touch anything below
  // and any service's state.
  std::mutex& mutex() { return mutex_; }

  RequestLog& log() { return log_; }
  FaultList& faults() { return faults_; }

  // "" = any key is taken.
  const std::string& api_key() const { return api_key_; }
  // True when the header value is the expected key (or none is expected).
  bool ApiKeyAccepted(const std::string& header_value) const;

  // Reads "api_key" of the state document (absent = the default key) and
  // clears the log and the faults. Lock held.
  void LoadState(const nlohmann::json& document);
  void SaveState(nlohmann::json& document) const;

  // Waits for the delay of a fault; returns early once Shutdown was called.
  // Must be called without the lock.
  void Sleep(std::chrono::milliseconds delay);
  void Shutdown();

 private:
  std::mutex mutex_;
  RequestLog log_;
  FaultList faults_;
  std::string api_key_ = kDefaultApiKey;

  std::mutex sleep_mutex_;
  std::condition_variable sleep_wake_;
  bool shutting_down_ = false;
};

}  // namespace oxsms::makersim
