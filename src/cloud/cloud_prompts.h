// The desktop's cloud dialogs (login, security verification, security
// set-up) as the cloud REST client needs them. The service runs with nobody
// at the screen: `HeadlessCloudPrompts` answers every dialog "cancelled" and
// writes why to the activity log.
#pragma once

#include <optional>
#include <string>

#include "platform/activity_log.h"

namespace oxsms::cloud {

struct CloudLogin {
  std::string user;
  std::string password;
  bool remember = false;  // the remember choice of the dialog
};

// What the dialogs are asked in the context of one call.
struct PromptContext {
  std::string current_user;    // shown in the login dialog
  std::string path;            // the endpoint the call is for
  bool hide_remember = false;  // the remember choice is hidden
  bool reading_configuration = false;
};

class CloudPrompts {
 public:
  virtual ~CloudPrompts() = default;
  // `ChiediCredenzialiCloud`: the login dialog; nullopt when cancelled or
  // when user or password is empty.
  virtual std::optional<CloudLogin> AskCredentials(const PromptContext& context) = 0;
  // `VerificaSicurezzaCloud`: validating this device for an account with two-
  // factor protection (`protections` is what the account has, as the service
  // listed it); true when completed.
  virtual bool VerifySecurity(const PromptContext& context, const std::string& protections) = 0;
  // `ImpostaSicurezzaCloud`: setting up the account's security; true when completed.
  virtual bool SetUpSecurity(const PromptContext& context) = 0;
};

class HeadlessCloudPrompts : public CloudPrompts {
 public:
  explicit HeadlessCloudPrompts(platform::ActivityLog& log) : log_(log) {}

  std::optional<CloudLogin> AskCredentials(const PromptContext& context) override;
  bool VerifySecurity(const PromptContext& context, const std::string& protections) override;
  bool SetUpSecurity(const PromptContext& context) override;

 private:
  platform::ActivityLog& log_;
};

}  // namespace oxsms::cloud
